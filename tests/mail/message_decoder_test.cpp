// Decoding stored messages for the viewer, and the replies and forwards built from them.
#include "mail/read/message_decoder.h"
#include "mail/read/remote_content.h"
#include "mail/read/reply_builder.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <thread>

#include "mail/store/folder_loader.h"
#include "platform/file_system.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

std::string Fixture(const std::string& name) { return std::string(VYRELLE_TEST_FIXTURES_DIR) + "/mail/" + name; }

bool Contains(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

Texts Parts(const DecodedMessage& m) {
  Texts parts;
  for (size_t i = 0; i < m.partNames.size(); ++i) parts.push_back(m.partNames[i] + " " + m.partTypes[i]);
  return parts;
}

class MessageDecoderTest : public ::testing::Test, protected test::TestApp {
 protected:
  void SetUp() override {
    dir = DisplayDirectory(store);
    ASSERT_FALSE(dir.empty());
  }
  std::string Stored(const std::string& fixture) {
    const std::string path = store.FolderPath("Inbox", true) + fixture;
    fs::copy_file(Fixture(fixture), path, fs::copy_options::overwrite_existing);
    return path;
  }
  const DecodedMessage& Decode(const std::string& fixture) {
    std::string page;
    EXPECT_EQ(decoder.DecodeMessage(Stored(fixture), dir, page), 1) << fixture;
    EXPECT_EQ(page, decoder.Decoded().page);
    return decoder.Decoded();
  }
  std::string File(const std::string& name) const { return test::ReadFile(dir + name); }
  bool Exists(const std::string& name) const { return fs::exists(fs::symlink_status(dir + name)); }
  MailStore store{app};
  MessageDecoder decoder{app};
  std::string dir;
};

TEST_F(MessageDecoderTest, TheCorpusGivesItsPagesPartsAndQuotedTexts) {
  const struct {
    const char* fixture;
    const char* page;
    Texts parts;
    const char* text;
    std::string pageHas;
    std::vector<std::pair<std::string, std::string>> files;
  } cases[] = {
      {"plain_text.mail", "PlainText.htm", {"0001.txt "},
       "Hello Kim,\n\nthe minutes of Monday's meeting are on www.example.org/garden/minutes\nand the next meeting "
       "is on the 12th. Questions go to alice@example.org.\n\n  - bring seeds\n  - bring gloves\n\nAlice",
       "<HTML><BODY BGCOLOR=#FFFFFF>Hello  Kim,<BR><BR>the  minutes", {}},
      {"alternative.mail", "Enhanced.htm", {"0001.txt text/plain", "Enhanced.htm text/html"},
       "Spring offers: caf\xC3\xA9 tables at half price.\nVisit http://shop.example/spring for the whole range, "
       "this line is long enough to be folded by the encoder.",
       "<meta charset=\"utf-8\"><html><body><h1>Spring offers</h1><p>Caf\xC3\xA9 tables at <b>half price</b>.</p>"
       "<p><a href=\"http://shop.example/spring\">The whole range</a></p></body></html>\n", {}},
      {"header_first_latin.mail", "PlainText.htm", {"0001.txt text/plain"},
       "Hallo Kim,\n\ndie Karten kosten 20 \xE2\x82\xAC pro Person.\nGr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln\nJ\xC3\xBCrgen",
       "<meta charset=\"utf-8\"><HTML><BODY BGCOLOR=#FFFFFF>Hallo  Kim,<BR><BR>die", {}},
      {"html_only.mail", "PlainText.htm", {"0001.txt text/html"},
       "Our caf\xC3\xA9 opens & welcomes you.\n\nCoffee\nTea <green>",
       "<meta charset=\"utf-8\"><!DOCTYPE html>\n<html><body><p>Our <b>caf\xC3\xA9</b> opens &amp; welcomes", {}},
      {"mixed_attachments.mail", "PlainText.htm",
       {"0001.txt text/plain", "report Q1.pdf application/pdf", "figures.csv text/csv"},
       "Hi Kim,\n\nthe report and the raw numbers are attached.\n\nBob", "Bob</HTML></BODY>",
       {{"report Q1.pdf", "3016:%PDF-1.4\n"}, {"figures.csv", "month;sales\njanuary;10\nfebruary;12\nmarch;17\n"}}},
      {"attachment_only.mail", "PlainText.htm", {"PlainText.htm text/html", "scan0042.zip application/zip"}, nullptr,
       "--SCAN-BOUNDARY--</HTML></BODY>", {{"scan0042.zip", std::string("1504:PK\x03\x04", 9)}}},
      {"nested.mail", "Enhanced.htm", {"0001.txt text/plain", "Enhanced.htm text/html", "lake.png image/png"},
       "The best photo of the trip is attached.\nCarol", "The <i>best</i> photo of the trip is attached.",
       {{"lake.png", std::string("808:\x89PNG\r\n\x1a\n", 12)}}},
      {"uuencoded.mail", "PlainText.htm", {"PlainText.htm text/html", "tool.bin "}, nullptr, "begin  644  tool.bin",
       {{"tool.bin", "900:"}}},
      {"base64_body.mail", "PlainText.htm", {"PlainText.htm text/html", "Gruesse text/plain"}, nullptr,
       "R3LDvMOfZSBhdXMgS8O2bG4hCkRlciBCZXJpY2h0IGtvbW10IG1vcmdlbi4K",
       {{"Gruesse", "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln!\nDer Bericht kommt morgen.\n"}}},
      {"broken_boundary.mail", "PlainText.htm", {"0001.txt text/plain", "build.log text/plain"},
       "Build 1234 succeeded.\nAll 812 tests passed.", "Build  1234", {{"build.log", "compile ... ok\nlink ... ok\n"}}},
      {"no_body.mail", "PlainText.htm", {"0001.txt "}, "", kNoBodyText, {}},
      {"psf_msg_04.mail", "PlainText.htm", {"PlainText.htm text/html", "msg.txt text/plain", "msg~2.txt text/plain"},
       nullptr, "", {{"msg.txt", "a simple kind of mirror\nto reflect upon our own\n\n"}, {"msg~2.txt", "a simple kind of mirror\nto reflect upon our own\n\n"}}},
      {"psf_msg_10.mail", "Enhanced.htm",
       {"0001.txt text/plain", "Enhanced.htm text/html", "Unknown_text_File_1.txt text/plain",
        "Unknown_text_File_2.txt text/plain"},
       "This is a 7bit encoded message.This has no Content-Transfer-Encoding: header.", "",
       {{"Unknown_text_File_1.txt", "This is a Base64 encoded message."}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    const DecodedMessage& m = Decode(c.fixture);
    EXPECT_EQ(m.page, c.page);
    EXPECT_EQ(Parts(m), c.parts);
    EXPECT_EQ(c.text ? m.text : "", c.text ? c.text : "");
    EXPECT_TRUE(Contains(File(m.page), c.pageHas)) << File(m.page);
    EXPECT_FALSE(Contains(File("PlainText.htm"), "Return-Path") || Contains(File("PlainText.htm"), "Delivered-To"));
    for (const auto& [name, expected] : c.files) {
      const size_t colon = expected.find(':');
      if (colon == std::string::npos || !std::isdigit(static_cast<unsigned char>(expected[0]))) {
        EXPECT_EQ(File(name), expected) << name;
      } else {
        EXPECT_EQ(File(name).size(), std::stoul(expected.substr(0, colon))) << name;
        EXPECT_EQ(File(name).substr(0, expected.size() - colon - 1), expected.substr(colon + 1)) << name;
      }
    }
    EXPECT_TRUE(m.errors.empty());
    EXPECT_FALSE(Exists(".message")) << "the copy the library read is gone";
  }
  EXPECT_EQ(File("PlainText.htm"),
            "<meta charset=\"utf-8\"><HTML><BODY BGCOLOR=#FFFFFF>This  is  a  7bit  encoded  message.</HTML></BODY>"
            "<HTML><BODY BGCOLOR=#FFFFFF>This  has  no  Content-Transfer-Encoding:  header.</HTML></BODY>");
  EXPECT_FALSE(Exists("0002.txt")) << "the HTML part lives under its page name only";
  EXPECT_TRUE(boxes.boxes.empty());
  test::WriteFile(home.File("empty.mail"), "");
  std::string page;
  EXPECT_EQ(decoder.DecodeMessage(home.File("empty.mail"), dir, page), 1);
  EXPECT_EQ(File("PlainText.htm"), std::string("<meta charset=\"utf-8\">") + kNoBodyText);
  EXPECT_TRUE(decoder.Decoded().partNames.empty());
}

TEST_F(MessageDecoderTest, AttachmentNamesCannotLeaveTheDisplayDirectory) {
  const DecodedMessage& m = Decode("hostile_names.mail");
  EXPECT_EQ(m.partNames, (Texts{"0001.txt", "escape-relative.txt", "vyrelle-escape-absolute.txt", "attachment",
                                "windows-escape.txt", "PlainText~2.htm", "hidden", "uu-escape.bin"}));
  EXPECT_EQ(File("PlainText.htm"),
            "<meta charset=\"utf-8\"><HTML><BODY BGCOLOR=#FFFFFF>Please  see  the  attached  files.</HTML></BODY>");
  EXPECT_EQ(File("PlainText~2.htm"), "not the page");
  EXPECT_EQ(File("uu-escape.bin"), "uuencoded escape");
  EXPECT_FALSE(fs::exists("/tmp/vyrelle-escape-absolute.txt"));
  for (const auto& entry : fs::recursive_directory_iterator(home.Path())) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name == "vyr20.ini" || entry.path().extension() == ".mail") continue;
    EXPECT_EQ(entry.path().parent_path().string() + "/", dir) << entry.path();
  }
  struct stat st {};
  ASSERT_EQ(::stat((dir + "uu-escape.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(PartNames, SafeNamesAndUnknownParts) {
  const std::pair<std::string, std::string> cases[] = {
      {"report.pdf", "report.pdf"}, {"../../etc/passwd", "passwd"}, {"C:\\temp\\x.doc", "x.doc"}, {"C:x.doc", "C_x.doc"},
      {"..", "attachment"},         {"dir/", "attachment"},         {"..hidden", "hidden"},       {"a\tb\nc", "a_b_c"},
      {"name. . ", "name"},         {std::string(300, 'x') + ".tar.gz", std::string(197, 'x') + ".gz"},
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(SafePartName(name), safe) << name;
  EXPECT_TRUE(platform::IsPlainFileName(SafePartName("\\\\server\\share\\f")));
  EXPECT_EQ(UnknownPartName("application/octet-stream", "UNKNOWN.003"), "Unknown_application_File_3.txt");
  EXPECT_EQ(UnknownPartName("/x/../y", "UNKNOWN.004"), "Unknown__x_.._y_File_4.txt");
  EXPECT_TRUE(platform::IsPlainFileName(UnknownPartName("../../..", "UNKNOWN")));
}

TEST_F(MessageDecoderTest, AnHtmlPartFollowedByATextPartIsWrittenOnceEach) {
  const DecodedMessage& m = Decode("html_then_text.mail");
  EXPECT_EQ(File("PlainText.htm"),
            "<meta charset=\"utf-8\"><html><head><title>Order</title><style>p { color: red }</style></head>\n"
            "<body><h1>Order 4711</h1><p>Total: 12,50 \xE2\x82\xAC &ndash; \xE2\x80\x9Cthank you\xE2\x80\x9D</p>\n"
            "<script>document.write(\"never\")</script><p>Kind&nbsp;regards,<br>Shop</p></body></html>"
            "<HTML><BODY BGCOLOR=#FFFFFF>Versand  erfolgt  morgen.  Gr\xC3\xBC\xC3\x9F" "e</HTML></BODY>");
  EXPECT_EQ(m.text,
            "Order 4711\n\nTotal: 12,50 \xE2\x82\xAC \xE2\x80\x93 \xE2\x80\x9Cthank you\xE2\x80\x9D\n\nKind regards,\nShop"
            "Versand erfolgt morgen. Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(m.converted, "Versand erfolgt morgen. Gr\xC3\xBC\xC3\x9F" "e");
}

std::string RandomBytes(size_t n, std::uint32_t x) {
  std::string bytes(n, '\0');
  for (char& c : bytes) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

std::string Base64Lines(const std::string& bytes) {
  std::string text(4 * (bytes.size() + 2) / 3 + 1, '\0'), out;
  text.resize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                              reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size())));
  for (size_t i = 0; i < text.size(); i += 76) out += text.substr(i, 76) + "\r\n";
  return out;
}

TEST_F(MessageDecoderTest, LargeAttachmentsComeOutByteForByte) {
  const std::string head = "From: a@example.org\r\nSubject: data\r\nMIME-Version: 1.0\r\n";
  const std::string mixed = head + "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\n"
                                   "Content-Type: text/plain\r\n\r\nSee the data.\r\n--B\r\n";
  const std::string bin = RandomBytes(300001, 1), pdf = RandomBytes(300002, 2), tail = RandomBytes(300000, 3);
  const struct {
    const char* name;
    std::string message;
    Texts parts;
    std::string file, bytes;
  } cases[] = {
      {"a part of a multipart message",
       mixed + "Content-Type: application/octet-stream; name=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           Base64Lines(bin) + "\r\n--B--\r\n.",
       {"0001.txt text/plain", "data.bin application/octet-stream"}, "data.bin", bin},
      {"the whole message",
       head + "Content-Type: application/pdf; name=\"report.pdf\"\r\nContent-Transfer-Encoding: Base64\r\n\r\n" +
           Base64Lines(pdf) + ".",
       {"PlainText.htm text/html", "report.pdf application/pdf"}, "report.pdf", pdf},
      {"a part without its closing line",
       mixed + "Content-Type: application/zip; name=\"tail.zip\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           Base64Lines(tail) + ".",
       {"0001.txt text/plain", "tail.zip application/zip"}, "tail.zip", tail},
      {"an encoded name",
       mixed + "Content-Type: application/pdf; name=\"=?UTF-8?B?w5xiZXJzaWNodC5wZGY=?=\"\r\n"
               "Content-Transfer-Encoding: base64\r\n\r\n" + Base64Lines(pdf) + "\r\n--B--\r\n.",
       {"0001.txt text/plain", "\xC3\x9C" "bersicht.pdf application/pdf"}, "\xC3\x9C" "bersicht.pdf", pdf},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = store.FolderPath("Inbox", true) + "large.mail";
    test::WriteFile(path, c.message);
    std::string page;
    ASSERT_EQ(decoder.DecodeMessage(path, dir, page), 1);
    EXPECT_EQ(Parts(decoder.Decoded()), c.parts);
    EXPECT_TRUE(File(c.file) == c.bytes) << File(c.file).size() << " bytes";
    EXPECT_FALSE(Exists(".message"));
  }
}

TEST_F(MessageDecoderTest, WritePartPageStripsReceivedHeaderBlocksAndTrimsTheText) {
  const std::string part = home.File("part.txt");
  const struct {
    std::string text;
    bool strip;
    const char* kept;
  } cases[] = {
      {"Return-Path: <a@b>\r\nSubject: x\r\n\r\nbody\r\n", true, "body"},
      {"return-path: <a@b>\nSubject: x\n\nbody\n", true, "body"},
      {"From: a@b\r\n\r\nbody", true, "body"},
      {"Delivered-To: k@b\nX-Spam-Score: 0.1\n\t(folded)\n\nbody", true, "body"},
      {"Note: call me\nplease tomorrow\n\nbye", true, "Note: call me\nplease tomorrow\n\nbye"},
      {"Dear Kim: hello\n\nbye", true, "Dear Kim: hello\n\nbye"},
      {"From: a@b\r\n\r\nbody", false, "From: a@b\r\n\r\nbody"},
      {"Received: only headers\r\nFrom: x", true, ""},
      {"trailing blanks \t\r\n\r\n", true, "trailing blanks"},
      {std::string(10, 'a') + '\0' + std::string(4085, 'z') + "second" + '\0' + "gone", false, "aaaaaaaaaasecond"},
  };
  for (const auto& c : cases) {
    test::WriteFile(part, c.text);
    MessageDecoder d(app);
    std::ostringstream out;
    EXPECT_EQ(d.WritePartPage(part, out, c.strip, "text/plain"), *c.kept ? 1 : 0) << c.text;
    EXPECT_EQ(d.Decoded().text, c.kept) << c.text;
  }
  std::ostringstream none;
  EXPECT_EQ(MessageDecoder(app).WritePartPage(home.File("missing.txt"), none, true, ""), 0);
}

TEST_F(MessageDecoderTest, EmptyingKeepsWhatAForwardHoldsAndNeverFollowsLinks) {
  for (const char* d : {"Forward1", "Forward2", "sub"}) fs::create_directories(dir + d);
  for (const char* name : {"old.txt", "kept.pdf", "Forward1/open.pdf", "Forward2/done.pdf", "sub/inner.txt"}) {
    test::WriteFile(dir + name, name);
  }
  for (const char* name : {"kept.pdf", "Forward1/open.pdf"}) {
    fs::permissions(dir + name, fs::perms::owner_write, fs::perm_options::remove);
  }
  fs::create_directory_symlink(dir + "sub", dir + "Forward3");
  fs::create_symlink(dir + "sub/inner.txt", dir + "link.txt");
  EXPECT_EQ(EmptyDisplayDirectory(dir), 4);
  EXPECT_FALSE(Exists("old.txt") || Exists("link.txt") || Exists("Forward2") || Exists("Forward3"));
  EXPECT_TRUE(Exists("kept.pdf") && Exists("Forward1/open.pdf") && Exists("sub/inner.txt"));
  EXPECT_EQ(ReleaseDisplayDirectory(dir), 2);
  EXPECT_EQ(EmptyDisplayDirectory(dir), 2);
  EXPECT_FALSE(Exists("kept.pdf") || Exists("Forward1"));
}

TEST_F(MessageDecoderTest, TheViewersOwnFolderIsTheOnlyOneEverEmptied) {
  EXPECT_EQ(dir, store.TempDirectory() + "Viewer/");
  const std::string download = store.TempDirectory() + "M12345.new";
  test::WriteFile(download, "half a message");
  Decode("mixed_attachments.mail");
  EXPECT_TRUE(Exists("report Q1.pdf"));
  Decode("plain_text.mail");
  EXPECT_FALSE(Exists("report Q1.pdf"));
  EXPECT_EQ(test::ReadFile(download), "half a message");
  fs::copy_file(Fixture("plain_text.mail"), dir + "inside.mail");
  std::string page;
  EXPECT_EQ(decoder.DecodeMessage(dir + "inside.mail", dir, page), -1);
  EXPECT_TRUE(fs::exists(dir + "inside.mail"));
  EXPECT_EQ(decoder.DecodeMessage(home.File("missing.mail"), dir, page), -1);
  EXPECT_FALSE(MessageView(app, dir).Open(home.File("missing.mail")));
}

TEST_F(MessageDecoderTest, TheViewerListsSavesAndShowsHeaders) {
  MessageView view(app, dir);
  ASSERT_TRUE(view.Open(Stored("mixed_attachments.mail")));
  EXPECT_EQ(view.ListedParts(), (std::vector<size_t>{0, 1, 2}));
  EXPECT_EQ(view.PartUrl(1), "file://" + dir + "report%20Q1.pdf");
  const std::string target = home.File("saved.csv");
  test::WriteFile(target, "an older file that is overwritten and longer than the part");
  EXPECT_TRUE(view.SavePartAs(2, target));
  EXPECT_EQ(test::ReadFile(target), "month;sales\njanuary;10\nfebruary;12\nmarch;17\n");
  ASSERT_TRUE(view.Open(Stored("plain_text.mail")));
  EXPECT_TRUE(view.ListedParts().empty()) << "a single part is not listed";
  EXPECT_EQ(view.Caption(), "[Alice Example <alice@example.org>] Minutes of the garden club");
  EXPECT_EQ(view.PageUrl(), "file://" + dir + "PlainText.htm");
  const HeadersToggle shown = view.ToggleHeaders();
  EXPECT_EQ(shown.ok ? shown.url : "", "file://" + dir + "headers.htm");
  const std::string headers = File("headers.htm");
  EXPECT_TRUE(Contains(headers, "Subject:  Minutes  of  the  garden  club\r<BR>"));
  EXPECT_TRUE(Contains(headers, "example.org</A>&#62</HTML></BODY>")) << "the block ends with its last line";
  EXPECT_FALSE(Contains(headers, "Hello"));
  EXPECT_EQ(view.ToggleHeaders().url, view.PageUrl());
}

TEST_F(MessageDecoderTest, TheNavigationHookKeepsTheViewerOnItsOwnFiles) {
  const std::string base = "file://" + dir;
  const std::pair<std::string, NavigationAction> cases[] = {
      {base + "report%20Q1.pdf", NavigationAction::Show},      {"FILE://" + dir + "lake.png", NavigationAction::Show},
      {base + "../secret.txt", NavigationAction::OpenInPopup}, {base + "%2E%2E/secret.txt", NavigationAction::OpenInPopup},
      {"file://" + dir.substr(0, dir.size() - 1) + "X/a.htm", NavigationAction::OpenInPopup},
      {"http://example.org/sheet.xls", NavigationAction::OpenInPopup},
      {base + "Budget.Xlsm", NavigationAction::OpenWithSystem}, {FileUrl(dir, "a b#c.doc"), NavigationAction::OpenWithSystem},
  };
  for (const auto& [target, action] : cases) EXPECT_EQ(DecideNavigation(target, dir).action, action) << target;
  EXPECT_EQ(DecideNavigation(base + "letter.doc", dir).filePath, dir + "letter.doc");
  EXPECT_EQ(FileUrl("/t/Viewer/", "a b#c?d%e.pdf"), "file:///t/Viewer/a%20b%23c%3Fd%25e.pdf");
  EXPECT_EQ(FileUrl("/t/", "caf\xC3\xA9.txt"), "file:///t/caf%C3%A9.txt");
}

TEST(RemoteContent, OnlyWhatThePageFetchesCountsNeverItsLinksOrText) {
  const std::pair<const char*, bool> cases[] = {
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
  for (const auto& [html, remote] : cases) EXPECT_EQ(MayHoldRemoteContent(html), remote) << html;
}

TEST_F(MessageDecoderTest, DeletingFromTheViewerMovesToTrashAndShowsTheNextMessage) {
  const std::string inbox = store.FolderPath("Inbox", true);
  MessageList list;
  list.Reset(inbox);
  for (const char* name : {"a.mail", "b.mail", "c.mail"}) {
    test::WriteFile(inbox + name, "From: x@example.org\r\nSubject: " + std::string(name) + "\r\n\r\nbody\r\n.");
    ASSERT_TRUE(MailStore::MarkUnread(inbox + name) && list.AddMessage(store, inbox + name));
  }
  const Texts paths = {list.Rows()[0].path, list.Rows()[1].path, list.Rows()[2].path};
  app.WriteInt("email", "DontPromptForDeletion", 1);
  const ViewerDeleteOutcome middle = DeleteFromViewer(store, list, paths[1], false);
  EXPECT_EQ(middle.nextPath, paths[2]);
  EXPECT_EQ(middle.nextRow, 1);
  EXPECT_TRUE(fs::exists(store.FolderPath("Trash", false) + fs::path(paths[1]).filename().string()));
  EXPECT_FALSE(MailStore::IsUnread(paths[2]) || list.Rows()[1].unread) << "the next message is marked read";
  const ViewerDeleteOutcome last = DeleteFromViewer(store, list, paths[2], false);
  EXPECT_EQ(last.nextPath, paths[0]) << "after the last row, the previous one";
  EXPECT_EQ(last.nextRow, 0);
  EXPECT_TRUE(DeleteFromViewer(store, list, paths[0], false).closeViewer);
  EXPECT_TRUE(list.Rows().empty());
}

TEST_F(MessageDecoderTest, DecodingWhileHeadersAreScannedOnAnotherThread) {
  const Texts paths = {Stored("mixed_attachments.mail"), Stored("alternative.mail"), Stored("nested.mail"),
                       Stored("hostile_names.mail")};
  std::atomic<bool> stop{false};
  std::thread scanner([&] {
    MailStore other(app);
    while (!stop) {
      for (const std::string& p : paths) {
        MessageSummary summary;
        other.ReadSummaryQuiet(p, summary);
        other.MessageKey(p, nullptr);
      }
    }
  });
  const size_t kParts[] = {3, 2, 3, 8};
  for (int round = 0; round < 40; ++round) {
    std::string page;
    EXPECT_EQ(decoder.DecodeMessage(paths[round % 4], dir, page), 1);
    EXPECT_EQ(decoder.Decoded().partNames.size(), kParts[round % 4]);
  }
  stop = true;
  scanner.join();
}

const char kHead[] = "\r\n\r\n> **--------- Original Message follows... \r\n\r\n>";

std::string Trailer(const std::string& subject, const std::string& from, const std::string& date) {
  return "\r\n> ** Original Subject: " + subject + "\r\n> ** Original Sender: " + from +
         "\r\n> ** Original Date: " + date + "\r\n> **---------\r\n\r\n> ";
}

bool Writable(const std::string& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

TEST_F(MessageDecoderTest, RepliesQuoteTheTextAndAddressTheSenderOrEveryone) {
  const ReplyDraft reply = BuildReply(Decode("plain_text.mail"), ReplyKind::Reply, dir);
  EXPECT_EQ(reply.body,
            kHead + std::string("Hello Kim,\r\n\r\nthe minutes of Monday's meeting are on "
                                "www.example.org/garden/minutes\r\nand the next meeting is on the 12th. "
                                "Questions go to alice@example.org.\r\n\r\n  - bring seeds\r\n  - bring "
                                "gloves\r\n\r\nAlice") +
                Trailer("Minutes of the garden club", "Alice Example <alice@example.org>",
                        "Tue, 3 Mar 2020 10:15:00 +0100"));
  const DecodedMessage& nested = Decode("nested.mail");
  const ReplyDraft all = BuildReply(nested, ReplyKind::ReplyAll, dir);
  EXPECT_EQ(all.subject, "re: Photos from the trip");
  EXPECT_EQ(all.to, "Carol <carol@example.com>, Kim <kim@example.com>, Lee <lee@example.com>");
  EXPECT_EQ(all.cc, "dave@example.com");
  DecodedMessage noTo = nested;
  noTo.summary.to.clear();
  EXPECT_EQ(BuildReply(noTo, ReplyKind::ReplyAll, dir).to, "Carol <carol@example.com>") << "no stray comma";
  const std::string me = "me@mail.example", alias = "Me.Too@Mail.Example";
  struct Row {
    std::string headers;
    ReplyKind kind;
    std::string to, cc;
  } rows[] = {
      {"From: Ann <ann@example.org>\r\nReply-To: =?UTF-8?B?TGlzdMOp?= <list@example.org>\r\nTo: me@mail.example\r\n",
       ReplyKind::Reply, "List\xC3\xA9 <list@example.org>", ""},
      {"From: Ann <ann@example.org>\r\nReply-To: \r\n", ReplyKind::Reply, "Ann <ann@example.org>", ""},
      {"From: Ann <ann@example.org>\r\nReply-To: list@example.org\r\nTo: \"Me, myself\" <ME@mail.example>, "
       "Bob <bob@example.org>\r\nCc: bob@example.org; Ann <ann@example.org>, (work) me.too@mail.example, "
       "\"Cy; C\" <cy@example.org>\r\n",
       ReplyKind::ReplyAll, "list@example.org, Bob <bob@example.org>", "Ann <ann@example.org>, \"Cy; C\" <cy@example.org>"},
      {"From: Me <me@mail.example>\r\nTo: Bob <bob@example.org>\r\nCc: me@mail.example\r\n", ReplyKind::ReplyAll,
       "Bob <bob@example.org>", ""},
      {"From: Me <me@mail.example>\r\nTo: me@mail.example\r\n", ReplyKind::ReplyAll, "Me <me@mail.example>", ""},
  };
  for (const Row& row : rows) {
    DecodedMessage m;
    ScanHeaders(row.headers + "Subject: s\r\n\r\nbody", m.summary);
    const ReplyDraft draft = BuildReply(m, row.kind, dir, {me, alias});
    EXPECT_EQ(draft.to + "|" + draft.cc, row.to + "|" + row.cc) << row.headers;
  }
  EXPECT_EQ(BuildReply(Decode("html_only.mail"), ReplyKind::Reply, dir).body,
            kHead + std::string("Our caf\xC3\xA9 opens & welcomes you.\r\n\r\nCoffee\r\nTea <green>") +
                Trailer("Caf\xC3\xA9 news", "News <news@example.net>", "Sat, 7 Mar 2020 08:00:00 +0000"));
  DecodedMessage converted;
  converted.converted = "converted only";
  EXPECT_EQ(QuotedBody(converted), kHead + std::string("converted only") + Trailer("", "", ""));
}

TEST_F(MessageDecoderTest, ALongQuoteIsCutAt32KWithTheNoteAndNeverSplitsACharacter) {
  const DecodedMessage& m = Decode("long_body.mail");
  ASSERT_EQ(m.text.size(), 40000u);
  const ReplyDraft draft = BuildReply(m, ReplyKind::Forward, dir);
  EXPECT_EQ(draft.subject, "fw: The long report");
  const size_t head = std::string(kHead).size();
  std::string quoted = kHead;
  for (char c : m.text) quoted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(draft.body, quoted.substr(0, 32768) + "\r\n\r\nMessage truncated at 32K" +
                            Trailer("The long report", "Reports <report@example.org>",
                                    "Sat, 11 Apr 2020 06:00:00 +0000"));
  DecodedMessage fits;
  fits.text = std::string(32768 - head, 'a');
  EXPECT_EQ(QuotedBody(fits).find("truncated"), std::string::npos);
  fits.text = std::string(32768 - head - 1, 'a') + "\xE2\x82\xAC" + "bbb";
  EXPECT_EQ(QuotedBody(fits).substr(32767, 6), "\r\n\r\nMe");
  fits.text = std::string(32768 - head - 1, 'a') + "\xE9\xE9\xE9";
  EXPECT_EQ(QuotedBody(fits).substr(32767, 6), "\xE9\r\n\r\nM");
}

TEST_F(MessageDecoderTest, AForwardAttachesTheListedPartsButNeverTheQuotedBody) {
  const struct {
    const char* fixture;
    Texts attached;
  } cases[] = {
      {"plain_text.mail", {}},
      {"alternative.mail", {}},
      {"mixed_attachments.mail", {"report Q1.pdf", "figures.csv"}},
      {"nested.mail", {"lake.png"}},
      {"attachment_only.mail", {"scan0042.zip"}},
  };
  for (const auto& c : cases) {
    const DecodedMessage& m = Decode(c.fixture);
    const ReplyDraft draft = PrepareReply(m, ReplyKind::Forward, dir);
    EXPECT_EQ(draft.to + draft.cc, "");
    Texts names;
    for (const std::string& path : draft.attachments) {
      names.push_back(fs::path(path).filename().string());
      EXPECT_FALSE(Writable(path)) << path;
    }
    EXPECT_EQ(names, c.attached) << c.fixture;
  }
  const DecodedMessage& m = Decode("mixed_attachments.mail");
  EXPECT_TRUE(PrepareReply(m, ReplyKind::Reply, dir).attachments.empty());
  EXPECT_TRUE(Writable(dir + "figures.csv"));
}

TEST_F(MessageDecoderTest, ASecondForwardKeepsTheNamesAndTheCleanUpReleasesTheViewersFolder) {
  const ReplyDraft first = PrepareReply(Decode("mixed_attachments.mail"), ReplyKind::Forward, dir);
  ASSERT_EQ(first.attachments.size(), 2u);
  const DecodedMessage& again = Decode("mixed_attachments.mail");
  EXPECT_EQ(again.partNames, (Texts{"0001.txt", "report Q1.pdf", "figures.csv"}));
  const ReplyDraft second = PrepareReply(again, ReplyKind::Forward, dir);
  ASSERT_EQ(second.attachments.size(), 2u);
  EXPECT_EQ(fs::path(second.attachments[1]).filename(), "figures.csv");
  EXPECT_NE(second.attachments[1], first.attachments[1]);
  Decode("plain_text.mail");
  EXPECT_EQ(test::ReadFile(first.attachments[1]), "month;sales\njanuary;10\nfebruary;12\nmarch;17\n");
  EXPECT_EQ(test::ReadFile(second.attachments[1]), test::ReadFile(first.attachments[1]));
  EXPECT_EQ(fs::file_size(first.attachments[0]), 9u + 3000u + 7u);
  test::WriteFile(dir + "stray.pdf", "x");
  fs::permissions(dir + "stray.pdf", fs::perms::owner_write, fs::perm_options::remove);
  store.CleanLeftovers();
  for (const std::string& path : {first.attachments[0], second.attachments[1], dir + "stray.pdf"}) {
    EXPECT_TRUE(Writable(path)) << path;
  }
  Decode("plain_text.mail");
  EXPECT_FALSE(fs::exists(first.attachments[0]));
  EXPECT_FALSE(fs::exists(fs::path(second.attachments[0]).parent_path()));
  EXPECT_FALSE(fs::exists(dir + "stray.pdf"));
}

}  // namespace
}  // namespace vyr
