// The spelling question and dialog under real XTest key presses over a
// recording editor. usage: spell_dialog_ui ARTIFACTS
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <deque>

#include "base/settings_table.h"
#include "mail/windows/spell_dialog.h"
#include "xtest_input.h"

namespace {

using vyr::test::Check;
namespace xt = vyr::test::xtest;

struct RecordingTarget : vyr::SpellTarget {
  std::string text;
  std::string Text() const override { return text; }
  void ReplaceRange(size_t begin, size_t end, const std::string& with) override { text.replace(begin, end - begin, with); }
  void ShowRange(size_t, size_t) override {}
};

using xt::Named;
std::string Utf8(const wxString& s) { return std::string(s.utf8_str()); }

void Key(KeySym sym, bool alt = false) {
  Display* d = xt::XDisplay();
  const KeyCode altCode = XKeysymToKeycode(d, XK_Alt_L);
  if (alt) XTestFakeKeyEvent(d, altCode, True, CurrentTime);
  xt::PressKey(sym);
  if (alt) XTestFakeKeyEvent(d, altCode, False, CurrentTime);
  XFlush(d);
}

class SpellDialogTestApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 2) return false;
    vyr::test::InitWindowTest();
    robot_.Start();
    return true;
  }

  void When(const char* name, std::function<void()> act) { robot_.When(name, std::move(act)); }

  void RunChecks() override {
    vyr::test::TestApp t;
    vyr::test::WriteFile(t.app.Directories().Root() + "/media/default/save.wav", "RIFF");
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Keep in touch", wxPoint(0, 0), wxSize(700, 500));
    frame->Show();
    RecordingTarget editor;
    std::string status;
    auto send = [&] { return SpellCheckBeforeSending(t.app, frame, editor, [&](const std::string& s) { status = s; }); };
    const std::string shots = argv[1].utf8_string();

    When("spell_always", [] { Key('w', true); });
    When("spell_always", [&] {
      Check(Utf8(Named<wxStaticText>("spell_question")->GetLabel()) == "Always Spell Check when sending?" &&
                !Named("spell_no")->IsEnabled() && !Named("spell_never")->IsEnabled() && t.sounds.played.size() == 1,
            "Alt+W ticks always: the question reads so, No and never are off, a sound plays");
      Key(XK_Escape);
    });
    Check(send() == vyr::SpellBeforeSend::kBackToEditor && t.app.GetOr(vyr::kEmailSpellCheck, "") == "",
          "Escape on the question goes back to the editor and stores nothing");

    When("spell_never", [] { Key('e', true); });
    When("spell_never", [&] {
      Check(Named<wxButton>("spell_no")->GetLabel() == CColoredDlg::StandardLabel(wxID_OK) &&
                !Named("spell_yes")->IsEnabled() && !Named("spell_always")->IsEnabled(),
            "Alt+E ticks never: No reads OK, Yes and always are off");
      vyr::test::SaveScreen(shots + "/ui_spell_options_never.png");
      Key('o');
    });
    Check(send() == vyr::SpellBeforeSend::kGoOn && t.app.Get(vyr::kEmailSpellCheck) == "Never",
          "OK sends without a check and stores Never");

    t.app.Write(vyr::kEmailSpellCheck, "Prompt");
    editor.text = "I recieve teh mail, teh end. Zorblat Zorblat. Vyrellix.";
    When("spell_yes", [] { Key('y'); });
    When("spell_change", [&] {
      Check(Utf8(Named<wxTextCtrl>("spell_change_to")->GetValue()) == "receive" &&
                Utf8(Named<wxTextCtrl>("spell_context")->GetValue()) == "I recieve teh mail, teh end.",
            "the word in its sentence, the first suggestion to change to");
      vyr::test::SaveScreen(shots + "/ui_spell_dialog.png");
      Key('c', true);
    });
    When("spell_change", [] {
      for (KeySym k : {'t', 'h', 'e'}) Key(k);
      Key('l', true);
    });
    When("spell_change", [] { Key('g', true); });
    When("spell_change", [] { Key('a', true); });
    Check(send() == vyr::SpellBeforeSend::kGoOn && editor.text == "I receive the mail, the end. Zorblat Zorblat. Vyrellix." &&
              status == "8 words checked, 5 errors detected, 3 words changed.",
          "Alt+C, typing with Alt+L, Alt+G and Alt+A check the whole text and show the counts");

    editor.text = "Qwzxv";
    When("spell_yes", [] { Key('y'); });
    When("spell_cancel", [] { Key(XK_Escape); });
    Check(send() == vyr::SpellBeforeSend::kCheckCancelled && editor.text == "Qwzxv", "Escape cancels the check");
    vyr::test::ExitWithVerdict();
  }

  xt::ControlRobot robot_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(SpellDialogTestApp)
