// The main window's two views and its domains: the refresh from the record, the account list
// of the login view, the domain grid of the logged-in view, select all, the domain refresh and
// saving the grid's changes.
#include <array>
#include <memory>
#include <string>

#include "client/app/message_dialog.h"
#include "client/app/quorin_dlg.h"
#include "client/controls/grid_cells.h"
#include "client/framework/resource_module.h"
#include "client/local/profile_file.h"
#include "client/monitor/confirmation.h"
#include "client/monitor/monitor_wiring.h"
#include "client/protocol/account_requests.h"
#include "client/protocol/request_environment.h"
#include "client/record/account_key.h"
#include "client/record/client_context.h"
#include "platform/win32/wide_text.h"
#include "resources/resource.h"

namespace quorin::client {
namespace {

constexpr std::array kLoginControls = {IDC_ACCOUNT_LABEL, IDC_PASSWORD_LABEL, IDC_LOGIN_HINT,
                                       IDC_ACCOUNT_NAME,  IDC_PASSWORD,       IDC_SAVE_PASSWORD,
                                       IDC_LOGIN,         IDC_LINK,           IDC_LOGIN_HEADING};
constexpr std::array kLoggedInControls = {IDC_LOGOUT, IDC_DOMAINS_LABEL, IDC_REFRESH_DOMAINS,
                                          IDC_SAVE_CHANGES, IDC_DOMAIN_GRID};

// The cells of a host row, in column order.
constexpr std::size_t kAddressColumn = 0;
constexpr std::size_t kOptionColumn = 1;
constexpr std::size_t kPausedColumn = 2;

// What the grid shows of the record, one line per row: compared to decide whether the grid
// must be built again.
std::vector<std::string> DomainLines(const ClientState& state) {
  std::vector<std::string> lines;
  for (const auto& zone : state.zones) {
    if (!zone)
      continue;
    lines.push_back(ZoneRowText(*zone));
    for (const HostRecord& host : zone->hosts) {
      if (host.IsFree())
        continue;
      lines.push_back(HostRowText(host.label, zone->zoneName) + "\t" + host.address.str() + "\t" +
                      (host.optionFlag ? "1" : "0") + (host.enabled ? "1" : "0"));
    }
  }
  return lines;
}

// The record keeps the provider's own placeholders, which the log and the servers see as they
// are; the window shows them in the interface language.
std::string ShownStatusText(const std::string& text) {
  if (text == kNotLoggedInText)
    return LoadResourceText(IDS_NOT_LOGGED_IN);
  if (text == kNotConnectedText)
    return LoadResourceText(IDS_NOT_CONNECTED);
  return text;
}

template <typename Cell>
Cell* CellAt(const GridRow* row, std::size_t column) {
  if (row == nullptr || column >= row->cells.size())
    return nullptr;
  return dynamic_cast<Cell*>(row->cells[column].get());
}

}  // namespace

void CQuorinFreeDlg::Refresh() {
  if (hwnd() == nullptr)
    return;
  ShowStatusTexts();

  const bool viewChanged = viewStale_;
  viewStale_ = false;
  ShowLoginView(loginView_);
  if (loginView_) {
    // The account list is filled when the view appears; a status refresh leaves what the
    // user is typing alone.
    if (viewChanged)
      FillAccountList();
  } else {
    ShowDomains(viewChanged);
  }
  // Every control paints its whole area, so the dialog's background is not erased first: a
  // refresh each time the monitor reports would otherwise make the window flicker.
  ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CQuorinFreeDlg::ShowStatusTexts() {
  ClientContext& context = GetClientContext();
  SetItemText(IDC_STATUS_USER, ShownStatusText(context.StatusText(kStatusUser)));
  // While a job runs, its own text stays in the status line until its result is applied.
  if (!busy_)
    SetItemText(IDC_STATUS_LINE, ShownStatusText(context.StatusText(kStatusLine)));
  SetItemText(IDC_STATUS_ADDRESS, ShownStatusText(context.StatusText(kStatusAddress)));
}

void CQuorinFreeDlg::ShowLoginView(bool loginView) {
  for (const int id : kLoginControls)
    ShowItem(id, loginView);
  for (const int id : kLoggedInControls)
    ShowItem(id, !loginView);
}

void CQuorinFreeDlg::FillAccountList() {
  const HWND box = Item(IDC_ACCOUNT_NAME);
  ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
  const ProfileSet profiles = LoadProfiles(DefaultProfilePath());
  for (int i = 0; i < profiles.count; ++i) {
    const std::wstring name = platform::WideFromUtf8(profiles.profiles[i].userName.str());
    ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  if (profiles.count > 0) {
    if (const auto current = CurrentProfile(profiles)) {
      accountName_ = current->userName.str();
      savePassword_ = current->savePassword;
      if (current->savePassword != 0)
        password_ = current->password.str();
    }
  }
  UpdateData(false);
}

void CQuorinFreeDlg::ShowDomains(bool force) {
  const ClientState state = GetClientContext().Snapshot();
  std::vector<std::string> lines = DomainLines(state);
  // A status refresh that brings no change of the domains keeps the grid, and with it the
  // edits the user has not saved yet.
  if (!force && lines == shownDomains_)
    return;
  shownDomains_ = std::move(lines);

  const std::string optionText = LoadResourceText(IDS_HOST_OPTION);
  const std::string pausedText = LoadResourceText(IDS_HOST_PAUSED);
  grid_.Clear();
  int hostRows = 0;
  int pausedRows = 0;
  for (const auto& zone : state.zones) {
    if (!zone)
      continue;
    GridRow* zoneRow = grid_.InsertRow(ZoneRowText(*zone));
    for (const HostRecord& host : zone->hosts) {
      if (host.IsFree())
        continue;
      ++hostRows;
      pausedRows += host.enabled ? 0 : 1;
      GridRow* row = grid_.InsertRow(HostRowText(host.label, zone->zoneName), zoneRow);
      if (auto* address =
              static_cast<CAddressCell*>(grid_.SetCell(row, std::make_unique<CAddressCell>(0)))) {
        address->SetAddress(host.address);
      }
      if (auto* option =
              static_cast<CCheckCell*>(grid_.SetCell(row, std::make_unique<CCheckCell>(0)))) {
        option->SetLabels(optionText, optionText);
        option->SetCheck(host.optionFlag);
      }
      if (auto* paused =
              static_cast<CCheckCell*>(grid_.SetCell(row, std::make_unique<CCheckCell>(1)))) {
        paused->SetLabels(pausedText, pausedText);
        paused->SetCheck(!host.enabled);
      }
    }
  }
  // The box pauses every record: it shows checked when every record is paused.
  selectAll_ = hostRows > 0 && pausedRows == hostRows ? 1 : 0;
  UpdateData(false);
  grid_.Redraw();
}

std::vector<HostRowEdit> CQuorinFreeDlg::ReadHostRows() const {
  std::vector<HostRowEdit> rows;
  if (grid_.hwnd() == nullptr)
    return rows;
  for (GridRow* zone = grid_.FirstChild(nullptr); zone != nullptr; zone = grid_.NextSibling(zone)) {
    const std::string zoneName = ZoneNameOfRow(grid_.RowText(zone));
    for (GridRow* host = grid_.FirstChild(zone); host != nullptr; host = grid_.NextSibling(host)) {
      HostRowEdit edit;
      edit.zoneName = zoneName;
      edit.label = LabelOfRow(grid_.RowText(host), zoneName);
      if (const auto* address = CellAt<CAddressCell>(host, kAddressColumn))
        edit.address = address->GetAddress();
      if (const auto* option = CellAt<CCheckCell>(host, kOptionColumn))
        edit.optionFlag = option->GetCheck();
      if (const auto* paused = CellAt<CCheckCell>(host, kPausedColumn))
        edit.paused = paused->GetCheck();
      rows.push_back(std::move(edit));
    }
  }
  return rows;
}

void CQuorinFreeDlg::SelectAll() {
  UpdateData(true);
  for (GridRow* zone = grid_.FirstChild(nullptr); zone != nullptr; zone = grid_.NextSibling(zone)) {
    for (GridRow* host = grid_.FirstChild(zone); host != nullptr; host = grid_.NextSibling(host)) {
      if (auto* paused = CellAt<CCheckCell>(host, kPausedColumn))
        paused->SetCheck(selectAll_ != 0);
    }
  }
}

void CQuorinFreeDlg::RefreshDomains() {
  auto message = std::make_shared<std::string>();
  auto ok = std::make_shared<bool>(false);
  StartJob(
      IDS_RECEIVING_DOMAINS, [message, ok] { *ok = GetDomainList(*message); },
      [this, message, ok] {
        if (!*ok) {
          ClientMessageBox(*message, kMessageOk, false, {}, 0, hwnd());
          return;
        }
        viewStale_ = true;
        Refresh();
        SaveChanges();
      });
}

bool CQuorinFreeDlg::WriteGridToRecord() {
  const std::vector<HostRowEdit> rows = ReadHostRows();
  return GetClientContext().Edit(
      [&](ClientState& state) { return ApplyHostRowEdits(state, rows, resendAll_) > 0; });
}

void CQuorinFreeDlg::SaveChanges() {
  if (job_.Running())
    return;
  WriteGridToRecord();
  const bool free = IsFreeAccount(GetClientContext());
  auto message = std::make_shared<std::string>();
  auto ok = std::make_shared<bool>(false);
  StartJob(
      IDS_SAVING, [message, ok] { *ok = SaveDomainChange(*message, true, true); },
      [this, message, ok, free] { FinishSave(*ok, *message, free); });
}

void CQuorinFreeDlg::SaveChangesNow() {
  // The window is going: the save runs here, bounded by the connection's time-outs.
  WriteGridToRecord();
  const bool free = IsFreeAccount(GetClientContext());
  std::string message;
  const bool ok = SaveDomainChange(message, true, true);
  FinishSave(ok, message, free);
}

void CQuorinFreeDlg::FinishSave(bool ok, const std::string& message, bool free) {
  ClientContext& context = GetClientContext();
  if (free) {
    if (ok)
      context.ClearChangedMarks();
  } else if (KeyPresent(context)) {
    StartConfirmation(context, MakeConfirmationServices(ProcessRequestEnvironment()));
  }
  if (!ok && reportErrors_)
    ClientMessageBox(message, kMessageOk, false, {}, 0, hwnd());
}

}  // namespace quorin::client
