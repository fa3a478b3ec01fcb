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

TEST(SessionQuery, UsageLineKeepsTheQueryAsSentAndTheAckHasTheNumbers) {
  struct Case {
    std::string query;
    SessionVerb verb;
    std::string logged;  // after "T\t<verb>\t<user>\t"
    std::vector<std::string> acks;
  };
  const std::vector<Case> cases = {
      {"Ping" + kU + "&B=Default&MO=17&S=2&PV=40&URL=5+3+1+&IBA=101+4+0+", SessionVerb::kPing,
       "Ping\t17\tB=Default&S=2&PV=40&URL=5+3+1+&IBA=101+4+0+", {"ack S=2&PV=40&URL=5+3+1&IBA=101+4+0"}},
      // "%20" blanks; an unknown counter is a counter too.
      {"Ping" + kU + "&B=Default&MO=4294967295&LAF=3&Extra_1=0&URL=5%203%201%20&IBA=", SessionVerb::kPing,
       "Ping\t4294967295\tB=Default&LAF=3&Extra_1=0&URL=5%203%201%20&IBA=", {"ack LAF=3&URL=5+3+1"}},
      {"ping" + kU + "&B=Default&MO=0&IBA=", SessionVerb::kPing, "Ping\t0\tB=Default&IBA=", {}},
      {"Ping" + kU + "&MO=2&S=0&PV=0", SessionVerb::kPing, "Ping\t2\tS=0&PV=0", {}},
      {"Login" + kU + "&B=Default&TZ=-1&CD=2&SW=1920&OS=2.6.1.0&NV=0.1.0.0", SessionVerb::kLogin,
       "Login\t-\tB=Default&TZ=-1&CD=2&SW=1920&OS=2.6.1.0&NV=0.1.0.0", {}},
      {"LOGOUT" + kU + "&B=Default&MO=42", SessionVerb::kLogout, "Logout\t42\tB=Default", {}},
      {"Logout" + kU, SessionVerb::kLogout, "Logout\t-\t-", {}},
  };
  for (const Case& c : cases) {
    const SessionRequest request = Parse(c.query);
    EXPECT_EQ(request.verb, c.verb) << c.query;
    EXPECT_EQ(request.user, kUser);
    const size_t tab = c.logged.find('\t');
    EXPECT_EQ(UsageLine("T", request), "T\t" + c.logged.substr(0, tab) + "\t" + kUser + c.logged.substr(tab));
    EXPECT_EQ(AckCommands(request), c.acks) << c.query;
  }
}

TEST(SessionQuery, RefusesEveryMalformedRequest) {
  const std::string p = "Ping" + kU + "&MO=1";
  const std::vector<std::string> bad = {
      "", "Pong" + kU + "&MO=1", "Ping=1" + kU + "&MO=1", "Ping&U=0123&MO=1",
      "Ping&U=0123456789ABCDEF0123456789ABCDEG&MO=1", "Ping&U=0123456789ABCDEF0123456789ABCDEF0&MO=1",
      "Ping&B=Default&MO=1", "Ping" + kU + "&B=Default", "Ping" + kU + "&MO=1x", "Ping" + kU + "&MO=-1",
      "Ping" + kU + "&MO=4294967296", "Ping" + kU + "&MO=", p + "&S=abc", p + "&S=-1", p + "&S=2147483648", p + "&S=",
      p + "&S-1=2", p + "&ABCDEFGHIJKLMNOPQ=2", p + "&=2", p + "&URL=1+2", p + "&URL=1+a+3", p + "&IBA=1+2+3+4",
      p + "&URL=1+2+2147483648", p + "&flag", "Ping&" + kU + "&MO=1", p + "&", "Ping" + kU + kU + "&MO=1",
      p + "&B=%zz", p + "&B=a%01b", p + "&B=a+b", p + "&B=", p + "&S=1%00", p + "&S=1 2", "Login" + kU + "&CD=4",
      "Login" + kU + "&TZ=25", "Login" + kU + "&SW=-1", "Login" + kU + "&OS=1.2.x.4", "Login" + kU + "&OS=1.2.3.4.5",
      "Login" + kU + "&NV=", "Login" + kU + "&S=1", "Logout" + kU + "&S=1", "Logout" + kU + "&URL=1+2+3",
      p + "&S=" + std::string(kMaxValueLength + 1, '1'), p + "&B=" + std::string(kMaxQueryLength, 'b')};
  for (const std::string& query : bad) {
    const SessionParse parsed = ParseSessionQuery(query);
    EXPECT_FALSE(parsed.request.has_value()) << query.substr(0, 100);
    EXPECT_FALSE(parsed.error.empty()) << query.substr(0, 100);
  }
}

TEST(SessionQuery, ALongAcknowledgementIsSplitIntoCommandsTheProgramTakesWhole) {
  // 200 tracked addresses with long ids: about twice what one ack carries.
  std::string triples, expected;
  for (int i = 0; i < 200; ++i) {
    const std::string triple =
        std::to_string(1000000000 + i) + "+" + std::to_string(100000 + i) + "+" + std::to_string(i);
    triples += triple + "+";
    expected += (i ? "+" : "") + triple;
  }
  const std::vector<std::string> acks = AckCommands(Parse("Ping" + kU + "&MO=9&S=5&URL=" + triples + "&IBA="));
  ASSERT_GT(acks.size(), 1u);
  // Joined again, the parts give back the counter once and every triple in order.
  std::string counters, urls;
  for (const std::string& ack : acks) {
    ASSERT_EQ(ack.rfind("ack ", 0), 0u);
    EXPECT_LE(ack.size() - 4, kAckArgumentLimit);
    EXPECT_TRUE(IsDeliverableCommand(ack)) << ack;
    std::string rest = ack.substr(4);
    if (rest.rfind("S=5", 0) == 0) {
      counters += "S=5;";
      rest = rest.size() > 3 ? rest.substr(4) : "";
    }
    if (rest.empty()) continue;
    ASSERT_EQ(rest.rfind("URL=", 0), 0u) << rest;
    urls += (urls.empty() ? "" : "+") + rest.substr(4);
  }
  EXPECT_EQ(counters, "S=5;");
  EXPECT_EQ(urls, expected);
}

// The reply's form: the session test of home_server_peer_test.cpp.
TEST(SessionReply, OnlyAWholeCommandOfOneLineIsDeliverable) {
  EXPECT_TRUE(IsDeliverableCommand("ibpush 3 http://h/p.zip"));
  for (const std::string& bad : {std::string(), std::string("showmail#trackurls 1 x"), std::string("show\nmail"),
                                std::string(kMaxCommandLength + 1, 'x')}) {
    EXPECT_FALSE(IsDeliverableCommand(bad)) << bad.substr(0, 40);
  }
}

}  // namespace
}  // namespace vyr::home
