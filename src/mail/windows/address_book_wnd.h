#pragma once
// CAddressBookWnd: the address book window. It lists the entries of one
// source at a time in two columns ("Entry Name", "E-mail addresses"): the
// program's address book (the vCard file in the mail root), the personal
// address book file of earlier versions (while it is there, or when the
// address book cannot be opened), and the addresses mail was sent to and
// received from. The selected entries are picked into To, CC or BCC of a
// compose window: the one that opened the address book, else a new one
// (which then takes the later picks too). Personal entries are added (from
// the two boxes under the list, filled from the selected row) and deleted
// after a question; vCard files (.vcf) are imported into the address book.
// When it opens, the personal address book of earlier versions is offered
// for import once.
//
// The window is not modal; there is one per window that opened it. The
// controls carry fixed window names for the window tests: book_source,
// book_list, book_to (Alt+T), book_cc (Alt+C), book_bcc (Alt+B),
// book_name, book_addresses, book_add (Alt+A), book_delete (Alt+D),
// book_import (Alt+I), book_close (Escape).
#include <string>
#include <vector>

#include <wx/weakref.h>

#include "mail/send/address_lists.h"
#include "mail/windows/compose_wnd.h"
#include "ui/windows/colored_dlg.h"

namespace vyr {
class Application;
}

class wxChoice;
class wxListCtrl;
class wxTextCtrl;

class CAddressBookWnd : public CColoredDlg {
 public:
  // Shows the address book of `opener` (made on the first call, raised on
  // later ones). Picks go to `compose` when given.
  static CAddressBookWnd* Open(vyr::Application& app, wxWindow* opener, CComposeWnd* compose);

  CAddressBookWnd(vyr::Application& app, wxWindow* opener, CComposeWnd* compose);

  // The selected entries into a box of the compose window; false when
  // none is selected or the window takes no recipients now.
  bool Pick(CComposeWnd::Field field);
  // Shows a source by its place in the choice.
  void ShowSource(int index);
  // The list file kind of the source shown (0: the address book).
  int SourceKind() const;
  // The entries shown, in list order.
  const std::vector<vyr::AddressBookEntry>& Entries() const { return entries_; }
  // The compose window picks go to (null: none yet).
  CComposeWnd* Target() const { return target_.get(); }
  wxListCtrl* List() const { return list_; }
  wxChoice* Sources() const { return sources_; }

 private:
  void Reload();
  std::vector<int> SelectedRows() const;
  void AddEntry();
  void DeleteEntries();
  void ImportVCards();
  void ImportVCardFile(const std::string& path);
  void SelectRowOf(const vyr::AddressBookEntry& entry);

  vyr::Application& app_;
  vyr::SystemAddressBook book_;
  wxWeakRef<CComposeWnd> target_;
  std::vector<int> kinds_;  // the choice's sources: 0 the address book, else a list file kind
  std::vector<vyr::AddressBookEntry> entries_;
  wxChoice* sources_ = nullptr;
  wxListCtrl* list_ = nullptr;
  wxTextCtrl* name_ = nullptr;
  wxTextCtrl* addresses_ = nullptr;
};
