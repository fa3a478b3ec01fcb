// The session requests' checks, the usage log line, the acknowledgement
// and the reply form.
#include <gtest/gtest.h>

#include "home_server/session_query.h"

namespace vyr::home {
namespace {

constexpr char kUser[] = "0123456789ABCDEF0123456789abcdef";
const std::string kU = std::string("&U=") + kUser;

SessionRequest Parse(const std::string& query) {
  const SessionParse parsed = ParseSessionQuery(query);
  EXPECT_TRUE(parsed.request.has_value()) << query << ": " << parsed.error;
  return parsed.request.value_or(SessionRequest{});
}

TEST(SessionQuery, ReadsAPingWithCountersAndTriples) {
  const SessionRequest ping = Parse("Ping" + kU + "&B=Default&MO=17&S=2&PV=40&URL=5+3+1+&IBA=101+4+0+");
  EXPECT_EQ(ping.verb, SessionVerb::kPing);
  EXPECT_EQ(ping.user, kUser);
  EXPECT_EQ(ping.brand, "Default");
  EXPECT_EQ(ping.minutes, 17u);
  ASSERT_EQ(ping.pairs.size(), 7u);
  EXPECT_EQ(ping.pairs[5].name, "URL");
  EXPECT_EQ(ping.pairs[5].raw, "5+3+1+");
  EXPECT_EQ(ping.pairs[5].value, "5 3 1 ");

  EXPECT_EQ(UsageLine("2025-01-02T03:04:05Z", ping),
            std::string("2025-01-02T03:04:05Z\tPing\t") + kUser + "\t17\tB=Default&S=2&PV=40&URL=5+3+1+&IBA=101+4+0+");
  EXPECT_EQ(AckCommands(ping), std::vector<std::string>{"ack S=2&PV=40&URL=5+3+1&IBA=101+4+0"});
}

TEST(SessionQuery, KeepsTheEscapedFormInTheLogAndAcknowledgesTheNumbers) {
  // A window that navigates with the second interface canonicalises: "%20"
  // for blanks. Counters other than the eleven known ones are counters too.
  const SessionRequest ping = Parse("Ping" + kU + "&B=Default&MO=4294967295&LAF=3&Extra_1=0&URL=5%203%201%20&IBA=");
  EXPECT_EQ(ping.minutes, 4294967295u);
  EXPECT_EQ(UsageLine("T", ping),
            std::string("T\tPing\t") + kUser + "\t4294967295\tB=Default&LAF=3&Extra_1=0&URL=5%203%201%20&IBA=");
  EXPECT_EQ(AckCommands(ping), std::vector<std::string>{"ack LAF=3&URL=5+3+1"});
}

TEST(SessionQuery, APingThatReportsNothingIsNotAcknowledged) {
  const SessionRequest ping = Parse("ping" + kU + "&B=Default&MO=0&IBA=");
  EXPECT_EQ(ping.verb, SessionVerb::kPing);
  EXPECT_TRUE(AckCommands(ping).empty());
  EXPECT_TRUE(AckCommands(Parse("Ping" + kU + "&MO=2&S=0&PV=0")).empty());
}

TEST(SessionQuery, ReadsLoginAndLogout) {
  const SessionRequest login = Parse("Login" + kU +
                                     "&B=Default&TZ=-1&CD=2&SW=1920&SH=1080&OS=2.6.1.0&BV=2.42.5.0&SV=3.24.38.0"
                                     "&NV=0.1.0.0");
  EXPECT_EQ(login.verb, SessionVerb::kLogin);
  EXPECT_FALSE(login.minutes.has_value());
  EXPECT_EQ(UsageLine("T", login),
            std::string("T\tLogin\t") + kUser +
                "\t-\tB=Default&TZ=-1&CD=2&SW=1920&SH=1080&OS=2.6.1.0&BV=2.42.5.0&SV=3.24.38.0&NV=0.1.0.0");
  EXPECT_TRUE(AckCommands(login).empty());

  const SessionRequest logout = Parse("LOGOUT" + kU + "&B=Default&MO=42");
  EXPECT_EQ(logout.verb, SessionVerb::kLogout);
  EXPECT_EQ(UsageLine("T", logout), std::string("T\tLogout\t") + kUser + "\t42\tB=Default");
  EXPECT_EQ(UsageLine("T", Parse("Logout" + kU)), std::string("T\tLogout\t") + kUser + "\t-\t-");
}

TEST(SessionQuery, RefusesEveryMalformedRequest) {
  const std::vector<std::string> bad = {
      "",
      "Pong" + kU + "&MO=1",
      "Ping=1" + kU + "&MO=1",
      "Ping&U=0123&MO=1",
      "Ping&U=0123456789ABCDEF0123456789ABCDEG&MO=1",
      "Ping&U=0123456789ABCDEF0123456789ABCDEF0&MO=1",
      "Ping&B=Default&MO=1",
      "Ping" + kU + "&B=Default",
      "Ping" + kU + "&MO=1x",
      "Ping" + kU + "&MO=-1",
      "Ping" + kU + "&MO=4294967296",
      "Ping" + kU + "&MO=",
      "Ping" + kU + "&MO=1&S=abc",
      "Ping" + kU + "&MO=1&S=-1",
      "Ping" + kU + "&MO=1&S=2147483648",
      "Ping" + kU + "&MO=1&S=",
      "Ping" + kU + "&MO=1&S-1=2",
      "Ping" + kU + "&MO=1&ABCDEFGHIJKLMNOPQ=2",
      "Ping" + kU + "&MO=1&=2",
      "Ping" + kU + "&MO=1&URL=1+2",
      "Ping" + kU + "&MO=1&URL=1+a+3",
      "Ping" + kU + "&MO=1&IBA=1+2+3+4",
      "Ping" + kU + "&MO=1&flag",
      "Ping&" + kU + "&MO=1",
      "Ping" + kU + "&MO=1&",
      "Ping" + kU + kU + "&MO=1",
      "Ping" + kU + "&MO=1&B=%zz",
      "Ping" + kU + "&MO=1&B=a%01b",
      "Ping" + kU + "&MO=1&B=a+b",
      "Ping" + kU + "&MO=1&B=",
      "Ping" + kU + "&MO=1&S=1%00",
      "Ping" + kU + "&MO=1&S=1 2",
      "Login" + kU + "&CD=4",
      "Login" + kU + "&TZ=25",
      "Login" + kU + "&SW=-1",
      "Login" + kU + "&OS=1.2.x.4",
      "Login" + kU + "&OS=1.2.3.4.5",
      "Login" + kU + "&NV=",
      "Login" + kU + "&S=1",
      "Logout" + kU + "&S=1",
      "Logout" + kU + "&URL=1+2+3",
      "Ping" + kU + "&MO=1&S=" + std::string(kMaxValueLength + 1, '1'),
      "Ping" + kU + "&MO=1&B=" + std::string(kMaxQueryLength, 'b'),
  };
  for (const std::string& query : bad) {
    const SessionParse parsed = ParseSessionQuery(query);
    EXPECT_FALSE(parsed.request.has_value()) << query.substr(0, 100);
    EXPECT_FALSE(parsed.error.empty()) << query.substr(0, 100);
  }
}

TEST(SessionQuery, TriplesAreWholeRunsOfIntegers) {
  EXPECT_EQ(ParseTriples(""), std::vector<std::int64_t>{});
  EXPECT_EQ(ParseTriples("  1 2 3   -4 0 7 "), (std::vector<std::int64_t>{1, 2, 3, -4, 0, 7}));
  EXPECT_FALSE(ParseTriples("1 2"));
  EXPECT_FALSE(ParseTriples("1 2 3x"));
  EXPECT_FALSE(ParseTriples("1 2 2147483648"));
}

TEST(SessionQuery, ALongAcknowledgementIsSplitIntoCommandsTheProgramTakesWhole) {
  // 200 tracked addresses with long ids: about twice what one
  // acknowledgement of 2047 bytes can carry.
  std::string triples;
  std::vector<std::int64_t> sent;
  for (int i = 0; i < 200; ++i) {
    triples += std::to_string(1000000000 + i) + "+" + std::to_string(100000 + i) + "+" + std::to_string(i) + "+";
    sent.insert(sent.end(), {1000000000 + i, 100000 + i, i});
  }
  const SessionRequest ping = Parse("Ping" + kU + "&MO=9&S=5&URL=" + triples + "&IBA=");
  const std::vector<std::string> acks = AckCommands(ping);
  ASSERT_GT(acks.size(), 1u);
  std::vector<std::int64_t> acknowledged;
  int counters = 0;
  for (const std::string& ack : acks) {
    ASSERT_EQ(ack.rfind("ack ", 0), 0u);
    const std::string argument = ack.substr(4);
    EXPECT_LE(argument.size(), kAckArgumentLimit);
    EXPECT_EQ(argument.find(' '), std::string::npos);
    EXPECT_TRUE(IsDeliverableCommand(ack));
    size_t start = 0;
    while (start < argument.size()) {
      size_t end = argument.find('&', start);
      if (end == std::string::npos) end = argument.size();
      const std::string pair = argument.substr(start, end - start);
      start = end + 1;
      if (pair == "S=5") {
        ++counters;
        continue;
      }
      ASSERT_EQ(pair.rfind("URL=", 0), 0u) << pair;
      std::string numbers = pair.substr(4);
      for (char& c : numbers) c = c == '+' ? ' ' : c;
      const auto parsed = ParseTriples(numbers);
      ASSERT_TRUE(parsed);
      acknowledged.insert(acknowledged.end(), parsed->begin(), parsed->end());
    }
  }
  EXPECT_EQ(counters, 1);
  EXPECT_EQ(acknowledged, sent);
}

TEST(SessionReply, IsPongAndEachCommandClosedByAHash) {
  EXPECT_EQ(PongReply({}), "PONG#");
  EXPECT_EQ(PongReply({"showmail", "pinginterval 5"}), "PONG#showmail#pinginterval 5#");
  EXPECT_TRUE(IsDeliverableCommand("ibpush 3 http://h/p.zip"));
  EXPECT_FALSE(IsDeliverableCommand(""));
  EXPECT_FALSE(IsDeliverableCommand("showmail#trackurls 1 x"));
  EXPECT_FALSE(IsDeliverableCommand("show\nmail"));
  EXPECT_FALSE(IsDeliverableCommand(std::string(kMaxCommandLength + 1, 'x')));
}

}  // namespace
}  // namespace vyr::home
