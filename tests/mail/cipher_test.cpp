#include "mail/receive/cipher.h"

#include <gtest/gtest.h>

namespace vyr {
namespace {

// Stored forms computed independently with the OpenSSL command line
// (des-cfb, the key's bytes, a zero vector).
TEST(CipherTest, KnownStoredFormsMatchAnIndependentDesCfbImplementation) {
  EXPECT_EQ(EncipherText("secret"), "VY016B4A711916DB");
  EXPECT_EQ(EncipherText("a"), "VY0179");
  EXPECT_EQ(EncipherText("Passw0rd!"), "VY01484E6118049F978B07");
  EXPECT_EQ(EncipherText("hello world, this is longer than eight"),
            "VY01704A7E071C8F9280DE31B22E756B0C648FD20D25C3B6BF66B5745129529490F02591E1F69196");

  std::string plain;
  ASSERT_TRUE(DecipherText("VY01484E6118049F978B07", plain));
  EXPECT_EQ(plain, "Passw0rd!");
}

TEST(CipherTest, RoundTripsAndStoredLength) {
  for (std::string text : {std::string("x"), std::string("12345678"), std::string("123456789"),
                           std::string("p\xC3\xA4ss w\xC3\xB6rd \x01\xFF"), std::string(500, 'k')}) {
    std::string stored = EncipherText(text);
    EXPECT_EQ(stored.size(), 4 + 2 * text.size()) << text;
    EXPECT_EQ(stored.substr(0, 4), "VY01");
    EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF", 4), std::string::npos);
    std::string back;
    ASSERT_TRUE(DecipherText(stored, back));
    EXPECT_EQ(back, text);
  }
}

TEST(CipherTest, EmptyPasswordIsPrefixAloneAndReadsBackEmpty) {
  EXPECT_EQ(EncipherText(""), "VY01");
  std::string plain = "unchanged";
  ASSERT_TRUE(DecipherText("VY01", plain));
  EXPECT_EQ(plain, "");
}

TEST(CipherTest, TextEndsAtItsFirstZeroByte) {
  EXPECT_EQ(EncipherText(std::string("ab\0cd", 5)), EncipherText("ab"));
}

TEST(CipherTest, WithoutPrefixNothingIsDecipheredAndOutputIsUntouched) {
  std::string plain = "keep";
  EXPECT_FALSE(DecipherText("?", plain));
  EXPECT_FALSE(DecipherText("VY0", plain));
  EXPECT_FALSE(DecipherText("vy016B4A711916DB", plain));
  EXPECT_FALSE(DecipherText("", plain));
  EXPECT_EQ(plain, "keep");
}

TEST(CipherTest, LowerCaseOrDamagedHexGivesAWrongTextNotAFailure) {
  std::string stored = EncipherText("secret");
  std::string lower = stored;
  for (size_t i = 4; i < lower.size(); ++i) lower[i] = static_cast<char>(std::tolower(lower[i]));
  std::string plain;
  ASSERT_TRUE(DecipherText(lower, plain));
  EXPECT_NE(plain, "secret");

  ASSERT_TRUE(DecipherText("VY01ZZ!!", plain));
  EXPECT_NE(plain, "secret");
}

TEST(CipherTest, OddDigitCountIgnoresTheLoneLastDigitAndNeverReadsPastTheEnd) {
  std::string stored = EncipherText("secret");
  std::string plain;
  ASSERT_TRUE(DecipherText(stored + "7", plain));
  EXPECT_EQ(plain, "secret");
  // A stored text cut short inside a pair deciphers the complete pairs.
  ASSERT_TRUE(DecipherText(stored.substr(0, stored.size() - 1), plain));
  EXPECT_EQ(plain, "secre");
}

TEST(CipherTest, AtMost999BytesAreDeciphered) {
  std::string longText(1500, 'L');
  std::string stored = EncipherText(longText);
  EXPECT_EQ(stored.size(), 4 + 3000u);
  std::string plain;
  ASSERT_TRUE(DecipherText(stored, plain));
  EXPECT_EQ(plain, std::string(999, 'L'));
}

TEST(CipherTest, OtherKeyDoesNotDecipher) {
  std::string stored;
  ASSERT_TRUE(EncipherText("secret", "AbCdEfGh", true, stored));
  EXPECT_NE(stored, EncipherText("secret"));
  std::string plain;
  ASSERT_TRUE(DecipherText(stored, "AbCdEfGh", plain));
  EXPECT_EQ(plain, "secret");
  ASSERT_TRUE(DecipherText(stored, plain));
  EXPECT_NE(plain, "secret");
}

}  // namespace
}  // namespace vyr
