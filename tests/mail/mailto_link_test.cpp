#include "mail/send/mailto_link.h"

#include <gtest/gtest.h>

namespace vyr {
namespace {

TEST(MailtoLinkTest, ALinkGivesOnlyToCcSubjectAndBody) {
  struct Case {
    const char* link;
    const char* to;
    const char* cc;
    const char* subject;
    const char* body;
  };
  const Case cases[] = {
      {"mailto:bob@example.org", "bob@example.org", "", "", ""},
      {"MAILTO:Bob@Example.ORG", "Bob@Example.ORG", "", "", ""},
      {"bob@example.org?subject=Hello%20there", "bob@example.org", "", "Hello there", ""},
      // Several recipients, from the address part and "to=" fields.
      {"mailto:a@x.example,b@x.example?to=c@x.example", "a@x.example,b@x.example, c@x.example", "", "", ""},
      // A line break that would start a header of its own is cut out; a
      // Bcc, From or any other header field is never taken.
      {"mailto:a@x.example?subject=Hi%0D%0ABcc:%20e@evil.example&bcc=e@evil.example&From=boss@x.example",
       "a@x.example", "", "HiBcc: e@evil.example", ""},
      {"mailto:a@x.example%0D%0ABcc:e@evil.example", "a@x.exampleBcc:e@evil.example", "", "", ""},
      // Decoded after the split: an encoded "&" or "?" stays in its field.
      {"mailto:a@x.example?cc=c%26d@x.example&subject=1%3F2%262", "a@x.example", "c&d@x.example", "1?2&2", ""},
      // "+" is a plus sign; the body keeps its line breaks as CR LF and
      // loses other control characters; a fragment is not part of a field.
      {"mailto:a+tag@x.example?body=line%201%0Aline%202%0D%0A%07end#frag", "a+tag@x.example", "", "",
       "line 1\r\nline 2\r\nend"},
      // The first subject and body win; names are compared without case.
      {"mailto:?SUBJECT=one&subject=two&Body=x&body=y", "", "", "one", "x"},
      {"mailto:a@x.example?junk&=v&cc=", "a@x.example", "", "", ""},
  };
  for (const Case& c : cases) {
    const MailtoFields f = ParseMailtoLink(c.link);
    EXPECT_EQ(f.to, c.to) << c.link;
    EXPECT_EQ(f.cc, c.cc) << c.link;
    EXPECT_EQ(f.subject, c.subject) << c.link;
    EXPECT_EQ(f.body, c.body) << c.link;
  }
}

TEST(MailtoLinkTest, FieldsAreWrittenBackFullyEncoded) {
  MailtoFields f;
  f.to = "a@x.example, b@x.example";
  f.cc = "c@x.example";
  f.subject = "Hi & bye?";
  f.body = "line 1\r\nline 2";
  EXPECT_EQ(FormatMailtoLink(f),
            "mailto:a@x.example,%20b@x.example?cc=c%40x.example&subject=Hi%20%26%20bye%3F"
            "&body=line%201%0D%0Aline%202");
  EXPECT_EQ(FormatMailtoLink(MailtoFields{"bob@example.org", "", "", ""}), "mailto:bob@example.org");
}

}  // namespace
}  // namespace vyr
