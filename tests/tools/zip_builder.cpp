#include "tools/zip_builder.h"

#include <zip.h>

namespace vyr::test {

bool WriteZip(const std::string& path, const std::vector<ZipMember>& members) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) return false;
  bool ok = true;
  for (const ZipMember& m : members) {
    zip_source_t* source = zip_source_buffer(archive, m.data.data(), m.data.size(), 0);
    const zip_int64_t index =
        source ? zip_file_add(archive, m.name.c_str(), source, ZIP_FL_ENC_RAW) : -1;
    if (index < 0) {
      if (source) zip_source_free(source);
      ok = false;
      break;
    }
    if (m.unixMode != 0) {
      zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0,
                                       ZIP_OPSYS_UNIX, m.unixMode << 16);
    }
  }
  if (!ok) {
    zip_discard(archive);
    return false;
  }
  return zip_close(archive) == 0;
}

}  // namespace vyr::test
