#pragma once
// Initialisation ("private profile") files: sections of key=value lines.
//
// Reading rules, as the program has always relied on them:
//  - CR, LF and CR LF each end a line; a rewrite keeps every line it does not
//    change and ends all lines as the file's first line ends;
//  - section and key names match without regard to (ASCII) case;
//  - the first matching section and the first matching key win;
//  - blanks around names and values are dropped, and a value enclosed in a
//    pair of matching quotes loses them;
//  - a header's name is what stands between the brackets, blanks dropped;
//  - lines that are neither a section header nor a key=value pair (no "=",
//    or nothing before it) are kept untouched on write but never read.
//
// Files are parsed once and kept in a process-wide cache; each read checks
// the file's stamp and parses it again only when it changed (another process
// or a hand edit). Reads and writes are safe from any thread. Every write
// replaces the file atomically and is serialised with writers in other
// processes, so no writer's key is lost and no reader ever sees half a file.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vyr::platform {

// The value of section/key, or nothing when the file, section or key is
// missing.
std::optional<std::string> ReadProfileValue(const std::string& path, const std::string& section,
                                            const std::string& key);

// The system's string read: the value, or the default (without trailing
// blanks) when missing. With a
// buffer size, at most bufferSize - 1 characters come back (the value, or the
// default, is cut), as with a fixed character buffer. 0 means no limit.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path,
                                    size_t bufferSize = 0);

// The system's integer read: the default when the key is missing or empty;
// otherwise the leading decimal digits of the value (an optional sign first),
// and 0 when the value does not begin with a digit.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path);

// Parses an integer by the rule above; nullopt for an empty text.
std::optional<int> ParseProfileInt(const std::string& text);

// Writes section/key=value, adding the section or key when missing. Line
// breaks inside a value are turned into blanks (they would split the line).
// False when the file cannot be written; the old file is then untouched.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path);

// Removes one key. True when the file is as asked afterwards.
bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& path);

// Replaces the whole contents of a section with the given pairs (an empty
// list leaves the section header with nothing under it).
bool WritePrivateProfileSection(const std::string& section,
                                const std::vector<std::pair<std::string, std::string>>& pairs,
                                const std::string& path);

// Every key=value pair of a section, in file order (first of each key only).
std::vector<std::pair<std::string, std::string>> ReadProfileSection(const std::string& path,
                                                                     const std::string& section);

// Names of all sections in file order.
std::vector<std::string> ReadProfileSectionNames(const std::string& path);

// Drops the cached copy of every file (tests use it to start clean).
void ClearProfileCache();

}  // namespace vyr::platform
