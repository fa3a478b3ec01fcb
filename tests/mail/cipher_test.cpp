#include "mail/receive/cipher.h"

#include <gtest/gtest.h>

namespace vyr {
namespace {

TEST(CipherTest, StoredFormsRoundTrips) {
  // Stored forms computed independently with the OpenSSL command line
  // (des-cfb, the key's bytes, a zero vector).
  const std::pair<std::string, std::string> known[] = {
      {"secret", "VY016B4A711916DB"},
      {"a", "VY0179"},
      {"", "VY01"},
      {"Passw0rd!", "VY01484E6118049F978B07"},
      {"hello world, this is longer than eight",
       "VY01704A7E071C8F9280DE31B22E756B0C648FD20D25C3B6BF66B5745129529490F02591E1F69196"},
      {std::string("ab\0cd", 5), "VY01794D"},  // the text ends at its first zero byte
  };
  for (const auto& [plain, stored] : known) {
    EXPECT_EQ(EncipherText(plain), stored);
    std::string back = "unchanged";
    ASSERT_TRUE(DecipherText(stored, back));
    EXPECT_EQ(back, plain.c_str());
  }
  for (std::string text : {std::string("12345678"), std::string("p\xC3\xA4ss \x01\xFF"), std::string(500, 'k')}) {
    std::string back;
    ASSERT_TRUE(DecipherText(EncipherText(text), back));
    EXPECT_EQ(back, text);
  }
}

TEST(CipherTest, DamagedAndForeignStoredForms) {
  std::string plain = "keep";
  for (const char* bad : {"?", "VY0", "vy016B4A711916DB", ""}) EXPECT_FALSE(DecipherText(bad, plain)) << bad;
  EXPECT_EQ(plain, "keep");
  // Lower-case or damaged digits give a wrong text, not a failure.
  EXPECT_TRUE(DecipherText("VY016b4a711916db", plain) && plain != "secret" && DecipherText("VY01ZZ!!", plain));
  // A lone last digit is ignored; a text cut inside a pair deciphers the whole pairs.
  EXPECT_TRUE(DecipherText("VY016B4A711916DB7", plain) && plain == "secret");
  EXPECT_TRUE(DecipherText("VY016B4A711916D", plain) && plain == "secre");
  ASSERT_TRUE(DecipherText(EncipherText(std::string(1500, 'L')), plain));
  EXPECT_EQ(plain, std::string(999, 'L')) << "at most 999 bytes are deciphered";
}

}  // namespace
}  // namespace vyr
