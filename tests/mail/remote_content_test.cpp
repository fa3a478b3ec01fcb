// Whether a message's page fetches anything from the network: what the
// viewer's remote-content bar is offered for.
#include "mail/read/remote_content.h"

#include <gtest/gtest.h>

namespace vyr {
namespace {

TEST(RemoteContent, OnlyWhatThePageFetchesCountsNeverItsLinksOrText) {
  const struct {
    const char* html;
    bool remote;
  } cases[] = {
      {"<img src=\"http://track.example/p.gif\">", true},
      {"<IMG SRC='HTTPS://track.example/p.gif'>", true},
      {"<img src = http://track.example/p.gif>", true},
      {"<div style=\"background: url('http://x.example/bg.png')\">", true},
      {"<style>@import \"https://x.example/s.css\";</style>", true},
      {"<img srcset=\"a.png 1x, http://x.example/b.png 2x\">", true},
      {"<link rel=stylesheet href=\"http://x.example/s.css\">", true},
      {"<iframe src=\"ftp://files.example/\"></iframe>", true},
      {"<svg><image xlink:href=\"http://x.example/i.png\"/></svg>", true},
      {"<a href=\"http://news.example/\">news</a>", false},
      {"<A HREF='https://news.example/'>news</A> <area href=http://x.example/>", false},
      {"<form action=\"http://x.example/post\"><input name=q></form>", false},
      {"Visit http://news.example/ today, or mail kim@example.org", false},
      {"<img src=\"cid:part1@example\"> <img src=\"data:image/png;base64,AAAA\">", false},
      {"<img src=\"mailto://x\"> <img src=\"file:///etc/x.png\">", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MayHoldRemoteContent(c.html), c.remote) << c.html;
}

}  // namespace
}  // namespace vyr
