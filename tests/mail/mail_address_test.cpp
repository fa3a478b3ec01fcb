// Addressing of sent mail: recipients, dates, encoded words, mailto links, address lists, vCards.
#include "mail/send/mail_address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "mail/mail_test_util.h"
#include "mail/send/address_lists.h"
#include "mail/send/header_words.h"
#include "mail/send/mailto_link.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

TEST(ParseAddressTest, NamesAndAddresses) {
  const std::pair<std::string, std::string> cases[] = {
      {"John Smith <john@mail.example>", "John Smith|john@mail.example"},
      {"\"Smith, John\" <john@mail.example>", "Smith, John|john@mail.example"},
      {"john@mail.example (John)", "John|john@mail.example"},
      {"john@mail.example", "john|john@mail.example"},
      {"  <john@mail.example>  ", "john|john@mail.example"},
      {"john@mail.example John Smith", "John Smith|john@mail.example"},
      {"\"John Smith <john@mail.example>", "John Smith|john@mail.example"},
      {"Bob\tbob@mail.example", "Bob|bob@mail.example"},
      {"bob@mail.example\r\nRCPT to:<evil@mail.example>", "RCPT to:<evil@mail.example>|bob@mail.example"},
      {"", ""}, {"   ", ""}, {"bob", ""}, {"@mail.example", ""}, {" @mail.example", ""}, {"bob@", ""}, {"a @b", ""},
      {"bob@mail\x01.example", ""}, {"bob@mail\x7F.example", ""}, {std::string("bob@mail\0x.example", 18), ""},
  };
  for (const auto& [entry, parsed] : cases) {
    std::string name = "unchanged", address = "unchanged";
    const bool ok = ParseAddress(entry, name, address);
    EXPECT_EQ(ok, !parsed.empty()) << entry;
    EXPECT_EQ(ok ? name + "|" + address : name + address, ok ? parsed : "unchangedunchanged") << entry;
  }
}

TEST(SplitRecipientsTest, FieldsSplitIntoEntries) {
  struct Case {
    std::string field;
    int result;
    Strings addresses, names;
    std::string error;
  } cases[] = {
      {"", 0, {}, {}, ""},
      {"John Smith <john@mail.example>, ann@mail.example (Ann)", 0,
       {"john@mail.example", "ann@mail.example"}, {"John Smith", "Ann"}, ""},
      {"a@mail.example; b@mail.example, c@mail.example", 0,
       {"a@mail.example", "b@mail.example", "c@mail.example"}, {"a", "b", "c"}, ""},
      {"\"Smith, John\" <john@mail.example>, \"Doe; Jane\" <jane@mail.example>", 0,
       {"john@mail.example", "jane@mail.example"}, {"Smith, John", "Doe; Jane"}, ""},
      {"\"A\" <a@mail.example>, \"B, C\" <b@mail.example>", 0,
       {"a@mail.example", "b@mail.example"}, {"A", "B, C"}, ""},
      {"bob", 2, {}, {}, "Invalid Recipient: :bob"},
      {"a@mail.example, bob, c@mail.example", 2, {"a@mail.example"}, {"a"}, "Invalid Recipient: : bob"},
      {"a@mail.example;@mail.example", 2, {"a@mail.example"}, {"a"},
       "Invalid Recipient: :@mail.example"},
  };
  for (const Case& c : cases) {
    Strings addresses, names;
    std::string error;
    const int result = SplitRecipients(c.field, addresses, names, error);
    EXPECT_EQ(std::tie(result, addresses, names, error), std::tie(c.result, c.addresses, c.names, c.error)) << c.field;
  }
}

constexpr std::time_t kJuly4 = 1783168496;
constexpr std::time_t kJanuary15 = 1768520707;

TEST(FormatMailDateTest, OffsetInForceAtThatMomentAndBufferSize) {
  struct Case {
    const char* zone;
    std::time_t when;
    const char* expected;
  } cases[] = {
      {"UTC", kJuly4, "04 Jul 2026 12:34:56 +0000"},
      {"Asia/Kolkata", kJanuary15, "16 Jan 2026 05:15:07 +0530"},
      {"America/New_York", kJuly4, "04 Jul 2026 08:34:56 -0400"},
      {"America/New_York", kJanuary15, "15 Jan 2026 18:45:07 -0500"},
      {"America/St_Johns", kJuly4, "04 Jul 2026 10:04:56 -0230"},
      {"Asia/Kathmandu", kJanuary15, "16 Jan 2026 05:30:07 +0545"},
  };
  for (const Case& c : cases) {
    mailtest::ScopedZone zone(c.zone);
    char buffer[64];
    ASSERT_EQ(FormatMailDate(buffer, sizeof buffer, c.when), 0) << c.zone;
    EXPECT_STREQ(buffer, c.expected) << c.zone;
  }
  mailtest::ScopedZone z("UTC");
  char buffer[40];
  std::memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(FormatMailDate(buffer, 31, kJuly4) + FormatMailDate(nullptr, 64, kJuly4), 2);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(40, 'Z'));
  EXPECT_EQ(FormatMailDate(buffer, 32, kJuly4), 0);
  EXPECT_STREQ(buffer, "04 Jul 2026 12:34:56 +0000");
}

TEST(HeaderWordsTest, NonAsciiTextBecomesEncodedWords) {
  const std::pair<std::string, std::string> subjects[] = {
      {"Greetings, all", "Greetings, all"},
      {"Grüße aus Köln", "=?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?="},
      {std::string(41, 'a') + "ö",
       "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWE=?= =?UTF-8?B?w7Y=?="},
      {std::string(40, 'a') + "€🎉",
       "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYQ==?= =?UTF-8?B?4oKs8J+OiQ==?="},
      {std::string(39, 'a') + "🎉x",
       "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFh?= =?UTF-8?B?8J+OiXg=?="},
  };
  for (const auto& [text, expected] : subjects) EXPECT_EQ(EncodeHeaderText(text), expected) << text;
  const std::pair<std::string, std::string> lists[] = {
      {"Bob <b@x.example>", "Bob <b@x.example>"},
      {"Jörg <j@x.example>, Bob <b@x.example>", "=?UTF-8?B?SsO2cmc=?= <j@x.example>, Bob <b@x.example>"},
      {"Bob <b@x.example>; \"Jörg, Sr.\" <j@x.example>",
       "Bob <b@x.example>; =?UTF-8?B?SsO2cmcsIFNyLg==?= <j@x.example>"},
      {"jörg@x.example", "jörg@x.example"},
  };
  for (const auto& [list, expected] : lists) EXPECT_EQ(EncodeAddressList(list), expected) << list;
}

TEST(MailtoLinkTest, ALinkGivesOnlyToCcSubjectAndBodyAndIsWrittenBackFullyEncoded) {
  const std::pair<const char*, const char*> cases[] = {
      {"mailto:bob@example.org", "bob@example.org|||"},
      {"MAILTO:Bob@Example.ORG", "Bob@Example.ORG|||"},
      {"bob@example.org?subject=Hello%20there", "bob@example.org||Hello there|"},
      {"mailto:a@x.example,b@x.example?to=c@x.example", "a@x.example,b@x.example, c@x.example|||"},
      {"mailto:a@x.example?subject=Hi%0D%0ABcc:%20e@evil.example&bcc=e@evil.example&From=boss@x.example",
       "a@x.example||HiBcc: e@evil.example|"},
      {"mailto:a@x.example%0D%0ABcc:e@evil.example", "a@x.exampleBcc:e@evil.example|||"},
      {"mailto:a@x.example?cc=c%26d@x.example&subject=1%3F2%262", "a@x.example|c&d@x.example|1?2&2|"},
      {"mailto:a+tag@x.example?body=line%201%0Aline%202%0D%0A%07end#frag", "a+tag@x.example|||line 1\r\nline 2\r\nend"},
      {"mailto:?SUBJECT=one&subject=two&Body=x&body=y", "||one|x"},
      {"mailto:a@x.example?junk&=v&cc=", "a@x.example|||"},
  };
  for (const auto& [link, fields] : cases) {
    const MailtoFields f = ParseMailtoLink(link);
    EXPECT_EQ(f.to + "|" + f.cc + "|" + f.subject + "|" + f.body, fields) << link;
  }
  EXPECT_EQ(FormatMailtoLink({"a@x.example, b@x.example", "c@x.example", "Hi & bye?", "line 1\r\nline 2"}),
            "mailto:a@x.example,%20b@x.example?cc=c%40x.example&subject=Hi%20%26%20bye%3F"
            "&body=line%201%0D%0Aline%202");
  EXPECT_EQ(FormatMailtoLink(MailtoFields{"bob@example.org", "", "", ""}), "mailto:bob@example.org");
}

class AddressListsTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Root() const { return home.File("vyrelle/email/"); }
  std::string Sent() const { return Root() + "Previously Sent Email Addresses.txt"; }
};

TEST_F(AddressListsTest, EachNameAndAddressIsRecordedOnce) {
  EXPECT_EQ(AddAddresses(app, 1, {"Bob", "Ann"}, {"bob@mail.example", "ann@mail.example"}), 2);
  EXPECT_EQ(AddAddresses(app, 1, {"Bob"}, {"bob@mail.example"}), 0);
  EXPECT_EQ(AddAddresses(app, 1, {"Robert"}, {"bob@mail.example"}), 1);
  EXPECT_EQ(AddAddresses(app, 1, {"Carl", "Carl"}, {"carl@mail.example", "carl@mail.example"}), 1);
  EXPECT_EQ(AddAddresses(app, 1, {"(Work) Dan", "(Work) Dan"}, {"dan@mail.example", "dan@mail.example"}), 1);
  EXPECT_EQ(AddAddresses(app, 1, {"(Work) Dan"}, {"dan@mail.example"}), 0);
  EXPECT_EQ(AddAddresses(app, 1, {"Eve\n\"Mallory\" <m"}, {"eve@mail.example"}), 1);
  EXPECT_EQ(test::ReadFile(Sent()),
            "\"Bob\" <bob@mail.example>\n\"Ann\" <ann@mail.example>\n\"Robert\" <bob@mail.example>\n"
            "\"Carl\" <carl@mail.example>\n\"(Work) Dan\" <dan@mail.example>\n"
            "\"Eve \"Mallory\" <m\" <eve@mail.example>\n");
  test::WriteFile(Sent(), "\"Ann\" <ann@mail.example>\r\n\"Bob\" <bob@mail.example>");
  EXPECT_EQ(AddAddresses(app, 1, {"Bob", "Dan"}, {"bob@mail.example", "dan@mail.example"}), 1);
  EXPECT_EQ(test::ReadFile(Sent()),
            "\"Ann\" <ann@mail.example>\r\n\"Bob\" <bob@mail.example>\n\"Dan\" <dan@mail.example>\n");
  fs::create_directories(Root() + "Previously Recieved Email Addresses.txt");
  EXPECT_EQ(AddAddresses(app, 2, {"Gus"}, {"gus@mail.example"}), 0);
}

TEST(VCardTest, RoundTripKeepsEveryCharacterAndReadsOtherWriters) {
  std::vector<AddressBookEntry> entries = {
      {"Smith, John; Jr.", "john@mail.example,jsmith@mail.example"},
      {"Back\\slash\nand line", "b@mail.example"},
      {std::string(120, 'n'), "long@mail.example"},
  };
  for (int i = 0; i < 40; ++i) entries[2].displayName += "\xC3\xA9";
  const std::string text = WriteVCards(entries);
  EXPECT_NE(text.find("FN:Smith\\, John\\; Jr.\r\n"), std::string::npos);
  EXPECT_NE(text.find("EMAIL:john@mail.example\r\nEMAIL:jsmith@mail.example\r\n"), std::string::npos);
  for (size_t start = 0, end; start < text.size(); start = end + 2) {
    end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 75u);
    EXPECT_TRUE(end == start || (static_cast<unsigned char>(text[start]) & 0xC0) != 0x80);
  }
  EXPECT_EQ(ReadVCards(text), entries);
  EXPECT_EQ(ReadVCards("BEGIN:VCARD\nFN:Old\nEMAIL:a@mail.example\\,b@mail.example\nEND:VCARD\n"),
            (std::vector<AddressBookEntry>{{"Old", "a@mail.example,b@mail.example"}}));
}

TEST(VCardTest, CardsAsAddressProgramsExportThem) {
  using Entries = std::vector<AddressBookEntry>;
  const std::pair<std::string, Entries> cases[] = {
      {"\xEF\xBB\xBF" "BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xC3\xBCller;J\xC3\xB6rg;;;\r\nFN:J\xC3\xB6rg M\xC3\xBC\r\n"
       " ller\r\nitem1.EMAIL;type=INTERNET:joerg@home.example\r\nitem2.EMAIL;type=INTERNET;type=pref:jm@work.example"
       "\r\nitem2.X-ABLabel:_$!<Work>!$_\r\nEND:VCARD\r\n",
       {{"J\xC3\xB6rg M\xC3\xBCller", "jm@work.example,joerg@home.example"}}},
      {"BEGIN:VCARD\nVERSION:4.0\nFN;ALTID=1:Doe\\, Jane\\; Dr.\nFN;ALTID=1;LANGUAGE=ja:\xE5\xB1\xB1\nEMAIL;PREF=2:b@x.example\n"
       "EMAIL;PREF=1;X-LABEL=\"home: main\":mailto:a@x.example\nEMAIL:not an address\nEMAIL:<c@x.example>\n"
       "EMAIL;TYPE=work:B@X.example\nEND:VCARD\n",
       {{"Doe, Jane; Dr.", "a@x.example,b@x.example"}}},
      {"BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Fran=C3=A7ois =\r\nD=C3=A9j=C3=A0\r\n"
       "EMAIL;INTERNET:fd@x.example\r\nAGENT:BEGIN:VCARD\r\nFN:Agent\r\nEMAIL:agent@x.example\r\nEND:VCARD\r\n"
       "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Gr=FC=DF;J=F6rg;;Dr.\r\n"
       "EMAIL;INTERNET;PREF:jg@x.example\r\nEND:VCARD\r\n",
       {{"Fran\xC3\xA7ois D\xC3\xA9j\xC3\xA0", "fd@x.example"}, {"Dr. J\xC3\xB6rg Gr\xC3\xBC\xC3\x9F", "jg@x.example"}}},
      {"begin:vcard\nemail:low@x.example\nend:vcard\nBEGIN:VCARD\nFN:No mail\nEMAIL:nobody\nEND:VCARD\nFN:outside\n",
       {{"low@x.example", "low@x.example"}}},
  };
  for (const auto& [text, entries] : cases) EXPECT_EQ(ReadVCards(text), entries) << text;
}

TEST(AddressBookPickTest, EntriesBecomeRecipientsOnceAndNewEntriesAreChecked) {
  const std::pair<AddressBookEntry, std::string> picked[] = {
      {{"J\xC3\xB6rg M\xC3\xBCller", "j@x.example"}, "J\xC3\xB6rg M\xC3\xBCller <j@x.example>"},
      {{"Smith, John \"JJ\"", "a@x.example,b@x.example"}, "\"Smith, John JJ\" <a@x.example>, \"Smith, John JJ\" <b@x.example>"},
      {{"", "a@x.example"}, "a@x.example"},
      {{"A@X.example", "a@x.example"}, "a@x.example"},
      {{"Line\nbreak", "l@x.example"}, "Line break <l@x.example>"},
  };
  for (const auto& [entry, text] : picked) EXPECT_EQ(RecipientText(entry), text) << entry.displayName;
  const std::tuple<std::string, std::string, std::string> appended[] = {
      {"", "Ann <a@x.example>", "Ann <a@x.example>"},
      {"Bob <b@x.example>", "Ann <a@x.example>, B. <B@X.example>", "Bob <b@x.example>, Ann <a@x.example>"},
      {"Bob <b@x.example>,  ", "\"Smith, John\" <j@x.example>", "Bob <b@x.example>, \"Smith, John\" <j@x.example>"},
      {"typed without at", "a@x.example", "typed without at, a@x.example"},
  };
  for (const auto& [box, entries, after] : appended) EXPECT_EQ(AppendRecipients(box, entries), after) << box;
  struct Typed {
    AddressBookEntry typed;
    EntryCheck check;
    std::string stored;
  } typed[] = {
      {{" Ann\n", "a@x.example; Bee <b@x.example>"}, EntryCheck::kEntryOk, "a@x.example,b@x.example"},
      {{"ann@x.example", "a@x.example"}, EntryCheck::kNameHasAt, "a@x.example"},
      {{"  ", "a@x.example"}, EntryCheck::kNoName, "a@x.example"},
      {{"Ann", "nope"}, EntryCheck::kBadAddress, "Invalid Recipient: :nope"},
      {{"Ann", ""}, EntryCheck::kBadAddress, "Invalid Recipient: :"},
  };
  for (Typed& t : typed) {
    std::string error;
    EXPECT_EQ(CheckNewEntry(t.typed, error), t.check) << t.stored;
    EXPECT_EQ(t.check == EntryCheck::kBadAddress ? error : t.typed.addressText, t.stored);
  }
}

TEST_F(AddressListsTest, ListRowsAddRemoveAndVCardImport) {
  fs::create_directories(Root());
  test::WriteFile(Sent(), "\"Bob\" <bob@mail.example>\r\n\"Ann\" <ann@mail.example>\r\nno address\r\n\"Bob\" <bob@mail.example>\r\n");
  EXPECT_EQ(ReadAddressList(app, kPreviouslySentAddresses),
            (std::vector<AddressBookEntry>{{"Bob", "bob@mail.example"}, {"Ann", "ann@mail.example"}, {"Bob", "bob@mail.example"}}));
  EXPECT_EQ(RemoveListEntry(app, kPreviouslySentAddresses, {"Bob", "bob@mail.example"}), 2);
  EXPECT_EQ(test::ReadFile(Sent()), "\"Ann\" <ann@mail.example>\r\nno address\r\n");
  EXPECT_TRUE(AddPersonalEntry(app, {"Team", "a@mail.example,b@mail.example"}));
  EXPECT_EQ(ReadAddressList(app, kPersonalAddressBook),
            (std::vector<AddressBookEntry>{{"Team", "a@mail.example,b@mail.example"}}));
  SystemAddressBook book(app);
  ASSERT_TRUE(book.Open());
  const std::string foreign = "BEGIN:VCARD\nVERSION:3.0\nFN:Kept\nEMAIL;TYPE=HOME:kept@mail.example\nNOTE:as written\nEND:VCARD\n";
  test::WriteFile(book.Path(), foreign);
  const std::string vcf = home.File("contacts.vcf");
  test::WriteFile(vcf, "BEGIN:VCARD\nVERSION:4.0\nFN:Kept\nEMAIL:kept@mail.example\nEND:VCARD\n"
                       "BEGIN:VCARD\nVERSION:4.0\nFN:New\nEMAIL:new@mail.example\nEND:VCARD\n"
                       "BEGIN:VCARD\nVERSION:4.0\nFN:New\nEMAIL:new@mail.example\nEND:VCARD\n");
  VCardImport imported = ImportVCardFile(book, vcf);
  EXPECT_EQ(std::tie(imported.read, imported.added, imported.known), std::make_tuple(true, 1, 2));
  imported = ImportVCardFile(book, vcf);
  EXPECT_EQ(std::tie(imported.read, imported.added, imported.known), std::make_tuple(true, 0, 3));
  EXPECT_FALSE(ImportVCardFile(book, home.File("missing.vcf")).read);
  EXPECT_EQ(book.List(), (std::vector<AddressBookEntry>{{"Kept", "kept@mail.example"}, {"New", "new@mail.example"}}));
  EXPECT_TRUE(book.RemoveEntry({"New", "new@mail.example"}));
  EXPECT_FALSE(book.RemoveEntry({"New", "new@mail.example"}));
  EXPECT_EQ(test::ReadFile(book.Path()), foreign);
}

TEST_F(AddressListsTest, ImportRunsOnceAndJoinsSeveralAddresses) {
  SystemAddressBook book(app);
  fs::create_directories(Root());
  const std::string personal = GetAddressBookFile(app, kPersonalAddressBook);
  const std::string beta = GetAddressBookFile(app, kBetaAddressBook);
  test::WriteFile(personal, "\"Ann\" ann@mail.example\n\"Team\" a@mail.example, b@mail.example\n"
                            "\"Nobody\" no address here\n\"Carl\" carl@mail.example, broken\n");
  test::WriteFile(beta, "an older beta file");
  boxes.answer = IDNO;
  EXPECT_FALSE(ImportBetaAddressBook(app, boxes, book));
  boxes.tickCheckBox = true;
  EXPECT_FALSE(ImportBetaAddressBook(app, boxes, book) || ImportBetaAddressBook(app, boxes, book));
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].checkBox, "Don't show me this again");
  app.WriteInt("email", "DontAskImportBetaAddressBook", 0);
  boxes.answer = IDYES;
  EXPECT_TRUE(ImportBetaAddressBook(app, boxes, book));
  ASSERT_TRUE(book.Open());
  EXPECT_EQ(book.List(), (std::vector<AddressBookEntry>{
                             {"Ann", "ann@mail.example"}, {"Team", "a@mail.example,b@mail.example"},
                             {"Carl", "carl@mail.example"}}));
  SystemAddressBook again(app);
  EXPECT_TRUE(book.AddEntry("Dora", "dora@mail.example") && again.Open());
  EXPECT_EQ(again.List().back(), (AddressBookEntry{"Dora", "dora@mail.example"}));
  EXPECT_EQ(test::ReadFile(beta).substr(0, 5), "\"Ann\"");
  EXPECT_FALSE(fs::exists(personal) || ImportBetaAddressBook(app, boxes, book));
  EXPECT_EQ(boxes.boxes.size(), 3u);
}

}  // namespace
}  // namespace vyr
