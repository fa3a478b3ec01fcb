// Typing latency in the compose window "Keep in touch": the time from a key
// press to the end of the editor's next paint, the one that shows the
// character. About 200 characters are typed at a steady pace through the X
// server's test extension with the spelling marks on (the mail root's
// lexicon is made from the system's en_US dictionary, package
// hunspell-en-us), in three runs: a formatted message of about 200 KB with
// the caret in its middle, the same message with the caret at its end, and a
// 2 KB message. Each run prints the median, the 95th percentile and the worst
// latency; the aim is under 16 ms, one frame at 60 Hz ("met" when the 95th
// percentile is under it). Beside them: how many paints there were and the
// median time the editor's paint handler took, so a slow run tells whether
// the time goes in drawing or before it (the key's insertion and the
// layout). The machine's load average is printed first: other work on the
// machine shows in every number.
//
// The end of a paint is read from an event handler pushed in front of the
// editor: it hands the paint to the editor and reads the clock once the
// editor's own handler has returned (layout, text, spelling marks and the
// copy of its buffered picture all done). The window's own editor is timed
// this way, as the window made it, where a subclass of the editor would time
// an editor outside the window. The keys are pressed by a thread of its own
// on its own display connection, so a slow paint never holds back the next
// presses: their wait counts in their latency.
//
// Runs on a virtual display, in a scratch data folder of its own:
//   xvfb-run -a -s "-screen 0 1280x900x24" build/bench/compose_typing_bench
// Arguments: [--paragraph-words N] [KEYS [MS_BETWEEN_KEYS]]: 200 keys 30 ms
// apart by default; --paragraph-words makes every paragraph of the messages
// N words long instead of 40 to 139.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtk/gtk.h>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/timer.h>

#include "app/data_seeding.h"
#include "base/application.h"
#include "base/message_box.h"
#include "base/settings_table.h"
#include "base/sound_player.h"
#include "mail/body/rich_text.h"
#include "mail/body/spelling.h"
#include "mail/store/mail_store.h"
#include "mail/windows/compose_wnd.h"
#include "mail/windows/rich_text_editor.h"
#include "platform/window_messages.h"
#include "platform/windows_dir.h"
#include "ui/windows/scheme_art.h"

// Last: the X headers' macros would spoil the names above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The scratch data folder, removed at the end.
std::string gScratch;

// --- the message -------------------------------------------------------------------------

const char* const kWords[] = {
    "the",      "letter",   "arrived",  "on",       "Tuesday",  "and",      "we",        "read",     "it",
    "twice",    "before",   "dinner",   "garden",   "needs",    "rain",     "children",  "walked",   "to",
    "school",   "through",  "fields",   "of",       "barley",   "while",    "neighbours", "painted", "their",
    "fence",    "a",        "bright",   "yellow",   "colour",   "market",   "opens",     "early",    "so",
    "bring",    "baskets",  "for",      "apples",   "pears",    "plums",    "cheese",    "bread",    "my",
    "brother",  "sends",    "greetings", "from",    "harbour",  "where",    "ships",     "come",     "in",
    "every",    "morning",  "with",     "fish",     "salt",     "news",     "meeting",   "moved",    "Friday",
    "afternoon", "because", "hall",     "is",       "being",    "cleaned",  "please",    "remember", "photographs",
    "wedding",  "album",    "grandmother", "kept",  "under",    "stairs",   "winter",    "was",      "long",
    "cold",     "but",      "spring",   "came",     "suddenly", "one",      "night",     "library",  "book",
    "returned", "late",     "fine",     "paid",     "happily",  "train",    "station",   "platform", "waiting",
    "hours",    "storm",    "passed",   "village",  "quiet",    "again",    "evening",   "lamps",    "window",
};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

const vyr::ColorRef kColours[] = {vyr::kBlack, vyr::kBlack, vyr::kBlack, vyr::Rgb(170, 0, 0),
                                  vyr::Rgb(0, 96, 0), vyr::Rgb(0, 0, 160), vyr::Rgb(128, 64, 0)};
const char* const kFaces[] = {"DejaVu Sans", "DejaVu Serif"};

struct Random {
  unsigned state;
  unsigned Next(unsigned below) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % below;
  }
};

// Paragraphs of 40 to 139 words (or `words` each) in sentences, in runs of 2
// to 10 words, each run in its own face, size and colour, some bold, some
// italic; every 17th word has two letters swapped, so the spelling marks have
// words to mark.
vyr::RichTextDocument MakeMessage(size_t bytes, unsigned seed, unsigned words = 0) {
  vyr::RichTextDocument doc;
  Random random{seed};
  size_t written = 0;
  while (doc.Text().size() < bytes) {
    const unsigned paragraphWords = words ? words : 40 + random.Next(100);
    vyr::CharFormat format;
    bool sentenceStart = true;
    for (unsigned w = 0; w < paragraphWords;) {
      format.face = kFaces[random.Next(2)];
      format.height = kEditorSizesTwips[random.Next(7)];
      format.color = kColours[random.Next(std::size(kColours))];
      format.bold = random.Next(4) == 0;
      format.italic = random.Next(4) == 0;
      std::string run;
      for (unsigned n = 2 + random.Next(9); n > 0 && w < paragraphWords; --n, ++w, ++written) {
        std::string word = kWords[random.Next(kWordCount)];
        if (sentenceStart) word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
        if (written % 17 == 16 && word.size() > 3) std::swap(word[1], word[2]);
        sentenceStart = random.Next(12) == 0 || w + 1 == paragraphWords;
        run += word + (sentenceStart ? ". " : " ");
      }
      doc.Append(run, format);
    }
    doc.EndParagraph(format);
  }
  return doc;
}

// What is typed: plain sentences with capitals, punctuation and a misspelt
// word, cut to the number of keys.
std::string TypedText(size_t keys) {
  const std::string sentence =
      "Thanks for the notes from Tuesday, I will send the figures again once the cellar is dry. "
      "We recieve the parcels on Friday morning, so plan for a late start that day. ";
  std::string text;
  while (text.size() < keys) text += sentence;
  return text.substr(0, keys);
}

// --- the keys ----------------------------------------------------------------------------

// Presses the keys of a text from a thread with a display connection of its
// own, one every `gap` (each let go half a gap later), and notes when each
// was pressed.
class Typist {
 public:
  Typist(std::string text, std::chrono::milliseconds gap) : text_(std::move(text)), gap_(gap), pressed_(text_.size()) {}
  ~Typist() { Join(); }

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  // When key i was pressed; nullopt while it was not.
  std::optional<Clock::time_point> PressedAt(size_t i) const {
    const long long ns = pressed_[i].load(std::memory_order_acquire);
    if (ns == 0) return std::nullopt;
    return Clock::time_point(std::chrono::nanoseconds(ns));
  }
  // The thread could not open the display.
  bool Failed() const { return failed_.load(); }

 private:
  void Run() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
      failed_ = true;
      return;
    }
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < text_.size(); ++i) {
      // Printable ASCII is its own key symbol; Shift where the keyboard map
      // needs it.
      const KeySym sym = static_cast<unsigned char>(text_[i]);
      const KeyCode code = XKeysymToKeycode(display, sym);
      const bool shifted = XkbKeycodeToKeysym(display, code, 0, 0) != sym;
      std::this_thread::sleep_until(start + gap_ * static_cast<int>(i));
      pressed_[i].store(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(),
                        std::memory_order_release);
      if (shifted) XTestFakeKeyEvent(display, shift, True, CurrentTime);
      XTestFakeKeyEvent(display, code, True, CurrentTime);
      XFlush(display);
      std::this_thread::sleep_until(start + gap_ * static_cast<int>(i) + gap_ / 2);
      XTestFakeKeyEvent(display, code, False, CurrentTime);
      if (shifted) XTestFakeKeyEvent(display, shift, False, CurrentTime);
      XFlush(display);
    }
    XCloseDisplay(display);
  }

  const std::string text_;
  const std::chrono::milliseconds gap_;
  std::vector<std::atomic<long long>> pressed_;
  std::atomic<bool> failed_{false};
  std::thread thread_;
};

// --- the paints --------------------------------------------------------------------------

// Pushed in front of the editor: each paint goes on to the editor, and
// `painted` runs once the editor has drawn it, with how long that took.
class PaintClock : public wxEvtHandler {
 public:
  std::function<void(double milliseconds)> painted;

  bool ProcessEvent(wxEvent& event) override {
    if (event.GetEventType() != wxEVT_PAINT) return wxEvtHandler::ProcessEvent(event);
    const Clock::time_point start = Clock::now();
    const bool handled = wxEvtHandler::ProcessEvent(event);
    if (painted) painted(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    return handled;
  }
};

// --- the runs ----------------------------------------------------------------------------

struct RunResult {
  std::string name;
  std::vector<double> latencies;  // milliseconds, in key order
  std::vector<double> paints;     // milliseconds in the editor's paint handler
  size_t keys = 0;
};

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  // The nearest rank: the smallest value with at least that share at or below it.
  const size_t rank = static_cast<size_t>(std::ceil(share * static_cast<double>(values.size())));
  return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

// Runs the toolkit's loop for a while or until done() holds (setting up a
// run; the runs themselves go through the program's own loop).
void Pump(int milliseconds, const std::function<bool()>& done = [] { return false; }) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  const guint tick = g_timeout_add(20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  while (!done() && Clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    wxTheApp->Yield(true);
  }
  g_source_remove(tick);
}

class BenchApp : public wxApp {
 public:
  bool OnInit() override {
    std::vector<int> numbers;
    for (int i = 1; i < argc; ++i) {
      if (argv[i] == "--paragraph-words" && i + 1 < argc) {
        paragraphWords_ = static_cast<unsigned>(std::max(1, std::atoi(argv[++i].utf8_str())));
      } else {
        numbers.push_back(std::atoi(argv[i].utf8_str()));
      }
    }
    if (numbers.size() > 0) keys_ = std::max(10, numbers[0]);
    if (numbers.size() > 1) gap_ = std::chrono::milliseconds(std::max(1, numbers[1]));
    SetAppDisplayName("Vyrelle");
    wxInitAllImageHandlers();
    vyr::platform::WindowMessages::Instance().SetWakeUp([] {
      if (wxTheApp) wxTheApp->CallAfter([] { vyr::platform::WindowMessages::Instance().DispatchPending(); });
    });
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, app_->Directories());
    app_->Write(vyr::kEmailName, std::string("Alice"));
    app_->Write(vyr::kEmailAddress, std::string("alice@mail.example"));
    CSchemeArt::Load(*app_);
    CComposeWnd::SetAskAboutSettings(false);
    watchdog_.SetOwner(this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      if (measuring_) EndRun();
    });
    if (!vyr::SpellCheckAvailable(vyr::MailStore(*app_).MailRoot(true))) {
      std::printf("no lexicon: the en_US dictionary is missing (package hunspell-en-us)\n");
      return false;
    }
    CallAfter([this] { Open(); });
    return true;
  }

 private:
  void Open() {
    if (std::FILE* load = std::fopen("/proc/loadavg", "r")) {
      double average = 0;
      if (std::fscanf(load, "%lf", &average) == 1) std::printf("load average: %.2f\n", average);
      std::fclose(load);
    }
    large_ = MakeMessage(200 * 1024, 7, paragraphWords_);
    small_ = MakeMessage(2 * 1024, 11, paragraphWords_);
    window_ = CComposeWnd::OpenNew(*app_, {"bob@mail.example", "", "Typing", "", {}});
    CComposeEditor* editor = window_->Editor();
    const Clock::time_point loading = Clock::now();
    LoadDocument(*editor, large_);
    std::printf("message: %zu bytes in %zu paragraphs and %zu runs, loaded in %.0f ms\n", large_.Text().size(),
                large_.Paragraphs().size(), large_.Runs().size(),
                std::chrono::duration<double, std::milli>(Clock::now() - loading).count());
    if (!GiveFocus()) {
      std::printf("the compose window never had the keyboard focus\n");
      return Quit(2);
    }
    clock_ = new PaintClock;
    clock_->painted = [this](double milliseconds) { Painted(milliseconds); };
    editor->PushEventHandler(clock_);
    StartRun("200 KB, caret in the middle", editor->GetLastPosition() / 2);
  }

  // Without a window manager the window gets the keyboard focus from here.
  bool GiveFocus() {
    GtkWidget* widget = window_->GetHandle();
    Pump(5000, [&] { return gtk_widget_get_mapped(widget); });
    Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    XSetInputFocus(display, gdk_x11_window_get_xid(gtk_widget_get_window(widget)), RevertToParent, CurrentTime);
    XFlush(display);
    Pump(3000, [&] { return gtk_window_is_active(GTK_WINDOW(widget)); });
    window_->Editor()->SetFocus();
    Pump(300);
    return gtk_window_is_active(GTK_WINDOW(widget));
  }

  // Puts the caret at the start of the word at or after the position, shows
  // it, lets the window settle and starts the keys.
  void StartRun(const std::string& name, long position) {
    CComposeEditor* editor = window_->Editor();
    const wxString text = editor->GetRange(position, std::min(position + 40, editor->GetLastPosition()));
    const int space = text.Find(' ');
    if (space != wxNOT_FOUND) position += space + 1;
    editor->SetInsertionPoint(position);
    editor->ShowPosition(position);
    editor->SetFocus();
    Pump(800);
    result_ = RunResult{name, {}, {}, static_cast<size_t>(keys_)};
    startLength_ = editor->GetLastPosition();
    shown_ = 0;
    typist_ = std::make_unique<Typist>(TypedText(keys_), gap_);
    measuring_ = true;
    typist_->Start();
    // A run that never sees all its keys ends anyway.
    const int limit = keys_ * static_cast<int>(gap_.count()) + 15000;
    watchdog_.StartOnce(limit);
  }

  // Every key the editor holds by now that no paint showed before is shown
  // by this one.
  void Painted(double paintMs) {
    if (!measuring_) return;
    const Clock::time_point now = Clock::now();
    result_.paints.push_back(paintMs);
    const long typed = window_->Editor()->GetLastPosition() - startLength_;
    for (; shown_ < static_cast<size_t>(std::max(0L, typed)) && shown_ < result_.keys; ++shown_) {
      const auto pressed = typist_->PressedAt(shown_);
      result_.latencies.push_back(pressed ? std::chrono::duration<double, std::milli>(now - *pressed).count() : 0);
    }
    if (shown_ == result_.keys) {
      measuring_ = false;
      CallAfter([this] { EndRun(); });
    }
  }

  void EndRun() {
    measuring_ = false;
    watchdog_.Stop();
    typist_->Join();
    if (typist_->Failed()) std::printf("the key thread could not open the display\n");
    Report(result_);
    runs_.push_back(result_);
    CComposeEditor* editor = window_->Editor();
    if (runs_.size() == 1) return StartRun("200 KB, caret at the end", editor->GetLastPosition());
    if (runs_.size() == 2) {
      LoadDocument(*editor, small_);
      return StartRun("2 KB, caret in the middle", editor->GetLastPosition() / 2);
    }
    std::printf("spelling marks in the 2 KB message: %zu\n", editor->MarkedRanges().size());
    bool all = true;
    for (const RunResult& run : runs_) all = all && run.latencies.size() == run.keys;
    Quit(all ? 0 : 1);
  }

  static void Report(const RunResult& run) {
    if (run.latencies.size() < run.keys) {
      std::printf("%-28s  only %zu of %zu keys were shown\n", run.name.c_str(), run.latencies.size(), run.keys);
    }
    if (run.latencies.empty()) return;
    const double worst = *std::max_element(run.latencies.begin(), run.latencies.end());
    std::printf("%-28s  median %6.1f ms   95%% %6.1f ms   worst %6.1f ms   (%zu keys, target 16 ms: %s;"
                " %zu paints, median paint %.1f ms)\n",
                run.name.c_str(), Percentile(run.latencies, 0.5), Percentile(run.latencies, 0.95), worst,
                run.latencies.size(), Percentile(run.latencies, 0.95) < 16 ? "met" : "missed", run.paints.size(),
                Percentile(run.paints, 0.5));
    std::fflush(stdout);
  }

  // The window is left to the end of the process: closing it would ask
  // about the unsent message.
  void Quit(int status) {
    std::fflush(stdout);
    std::error_code ec;
    fs::remove_all(gScratch, ec);
    std::_Exit(status);
  }

  vyr::StderrMessageBox boxes_;
  vyr::SilentSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  vyr::RichTextDocument large_, small_;
  CComposeWnd* window_ = nullptr;
  PaintClock* clock_ = nullptr;
  int keys_ = 200;
  unsigned paragraphWords_ = 0;  // 0: 40 to 139
  std::chrono::milliseconds gap_{30};
  std::unique_ptr<Typist> typist_;
  RunResult result_;
  std::vector<RunResult> runs_;
  long startLength_ = 0;
  size_t shown_ = 0;
  bool measuring_ = false;
  wxTimer watchdog_;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
  // The key thread and the window talk to the display at once.
  XInitThreads();
  char folder[] = "/tmp/vyrelle-typing-bench-XXXXXX";
  if (!mkdtemp(folder)) return 2;
  gScratch = folder;
  fs::create_directories(gScratch + "/home");
  setenv("VYRELLE_HOME", (gScratch + "/home").c_str(), 1);
  setenv("XDG_DATA_HOME", (gScratch + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (gScratch + "/config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (gScratch + "/cache").c_str(), 1);
  const int status = wxEntry(argc, argv);
  std::error_code ec;
  fs::remove_all(gScratch, ec);
  return status;
}
