// The address list files in the mail root, the vCard stand-in for the
// system address book, and the one-time import of the personal address
// book.
#include "mail/send/address_lists.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/application.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;

class AddressListsTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Root() const { return home.File("vyrelle/email/"); }
  std::string Sent() const { return Root() + "Previously Sent Email Addresses.txt"; }
};

TEST_F(AddressListsTest, EachNameAndAddressIsRecordedOnce) {
  EXPECT_EQ(AddAddresses(app, 1, {"Bob", "Ann"}, {"bob@mail.example", "ann@mail.example"}), 2);
  EXPECT_EQ(AddAddresses(app, 1, {"Bob"}, {"bob@mail.example"}), 0);
  // The same address under another name is a line of its own.
  EXPECT_EQ(AddAddresses(app, 1, {"Robert"}, {"bob@mail.example"}), 1);
  // Given twice in one call (in To and in CC): one line.
  EXPECT_EQ(AddAddresses(app, 1, {"Carl", "Carl"}, {"carl@mail.example", "carl@mail.example"}), 1);
  // A name ParseAddress would read back otherwise is still known by its line.
  EXPECT_EQ(AddAddresses(app, 1, {"(Work) Dan", "(Work) Dan"}, {"dan@mail.example", "dan@mail.example"}), 1);
  EXPECT_EQ(AddAddresses(app, 1, {"(Work) Dan"}, {"dan@mail.example"}), 0);
  // A line break cannot start a line of its own.
  EXPECT_EQ(AddAddresses(app, 1, {"Eve\n\"Mallory\" <m"}, {"eve@mail.example"}), 1);
  EXPECT_EQ(test::ReadFile(Sent()),
            "\"Bob\" <bob@mail.example>\n\"Ann\" <ann@mail.example>\n\"Robert\" <bob@mail.example>\n"
            "\"Carl\" <carl@mail.example>\n\"(Work) Dan\" <dan@mail.example>\n"
            "\"Eve \"Mallory\" <m\" <eve@mail.example>\n");

  // A file written by hand (CR LF line ends, none after the last line) is
  // kept and appended to.
  test::WriteFile(Sent(), "\"Ann\" <ann@mail.example>\r\n\"Bob\" <bob@mail.example>");
  EXPECT_EQ(AddAddresses(app, 1, {"Bob", "Dan"}, {"bob@mail.example", "dan@mail.example"}), 1);
  EXPECT_EQ(test::ReadFile(Sent()),
            "\"Ann\" <ann@mail.example>\r\n\"Bob\" <bob@mail.example>\n\"Dan\" <dan@mail.example>\n");
  // A list that cannot be written (here the received addresses') is skipped.
  fs::create_directories(Root() + "Previously Recieved Email Addresses.txt");
  EXPECT_EQ(AddAddresses(app, 2, {"Gus"}, {"gus@mail.example"}), 0);
}

// --- vCard ------------------------------------------------------------------------------

TEST(VCardTest, RoundTripKeepsEveryCharacterAndReadsOtherWriters) {
  std::vector<AddressBookEntry> entries = {
      {"Smith, John; Jr.", "john@mail.example,jsmith@mail.example"},
      {"Back\\slash\nand line", "b@mail.example"},
      {std::string(120, 'n'), "long@mail.example"},
  };
  // A long name of two-byte characters: folding must not cut one.
  for (int i = 0; i < 40; ++i) entries[2].displayName += "\xC3\xA9";
  const std::string text = WriteVCards(entries);
  EXPECT_NE(text.find("FN:Smith\\, John\\; Jr.\r\n"), std::string::npos);
  EXPECT_NE(text.find("EMAIL:john@mail.example\\,jsmith@mail.example\r\n"), std::string::npos);
  // Lines are folded at 75 octets, never inside a character.
  for (size_t start = 0, end; start < text.size(); start = end + 2) {
    end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 75u);
    EXPECT_TRUE(end == start || (static_cast<unsigned char>(text[start]) & 0xC0) != 0x80);
  }
  EXPECT_EQ(ReadVCards(text), entries);

  const std::string other =
      "BEGIN:VCARD\nVERSION:3.0\nN:Doe;Jane;;;\nFN:Jane\n  Doe\nitem1.EMAIL;TYPE=INTERNET:jane@mail.example\n"
      "EMAIL;TYPE=work:jd@work.example\nEND:VCARD\n"
      "BEGIN:VCARD\nFN:No mail\nEND:VCARD\n"
      "begin:vcard\nfn:Lower\nemail:low@mail.example\nend:vcard\n";
  const std::vector<AddressBookEntry> expected = {{"Jane Doe", "jane@mail.example,jd@work.example"},
                                                  {"Lower", "low@mail.example"}};
  EXPECT_EQ(ReadVCards(other), expected);
}

TEST_F(AddressListsTest, ImportRunsOnceAndJoinsSeveralAddresses) {
  SystemAddressBook book(app);
  fs::create_directories(Root());
  const std::string personal = GetAddressBookFile(app, kPersonalAddressBook);
  const std::string beta = GetAddressBookFile(app, kBetaAddressBook);
  test::WriteFile(personal, "\"Ann\" ann@mail.example\n\"Team\" a@mail.example, b@mail.example\n"
                            "\"Nobody\" no address here\n\"Carl\" carl@mail.example, broken\n");
  test::WriteFile(beta, "an older beta file");
  // Declined: asked again, unless the box was ticked.
  boxes.answer = IDNO;
  EXPECT_FALSE(ImportBetaAddressBook(app, boxes, book));
  boxes.tickCheckBox = true;
  EXPECT_FALSE(ImportBetaAddressBook(app, boxes, book) || ImportBetaAddressBook(app, boxes, book));
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].checkBox, "Don't show me this again");
  app.WriteInt("email", "DontAskImportBetaAddressBook", 0);
  boxes.answer = IDYES;
  EXPECT_TRUE(ImportBetaAddressBook(app, boxes, book));
  // A line that does not split keeps ParseAddress's address.
  ASSERT_TRUE(book.Open());
  EXPECT_EQ(book.List(), (std::vector<AddressBookEntry>{
                             {"Ann", "ann@mail.example"}, {"Team", "a@mail.example,b@mail.example"},
                             {"Carl", "carl@mail.example,"}}));
  // An entry added later is listed by the next opening too.
  SystemAddressBook again(app);
  EXPECT_TRUE(book.AddEntry("Dora", "dora@mail.example") && again.Open());
  EXPECT_EQ(again.List().back(), (AddressBookEntry{"Dora", "dora@mail.example"}));
  // The personal file now carries the beta name (replacing the old one),
  // so the question is asked once only.
  EXPECT_EQ(test::ReadFile(beta).substr(0, 5), "\"Ann\"");
  EXPECT_FALSE(fs::exists(personal) || ImportBetaAddressBook(app, boxes, book));
  EXPECT_EQ(boxes.boxes.size(), 3u);
}

}  // namespace
}  // namespace vyr
