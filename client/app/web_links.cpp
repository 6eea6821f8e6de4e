#include "client/app/web_links.h"

#include "client/app/language_file.h"
#include "client/app/shell_open.h"
#include "client/local/settings.h"
#include "client/local/update_names.h"
#include "client/protocol/provider_config.h"
#include "platform/program_path.h"

namespace quorin::client {
namespace {

// Language.ini's addresses are read into a buffer of this size.
constexpr std::size_t kAddressBytes = 1024;
constexpr std::string_view kErpFramePath = "/ddns_client/ddns_client_tlerp_frame.php";
constexpr std::string_view kHelpFileName = "tilro.chm";

}  // namespace

bool OpenLanguageLink(std::string_view key) {
  const std::string address = ReadLanguageText("URL", key, kAddressBytes);
  // An empty text would make the shell open the current folder instead of a page.
  if (!IsWebAddress(address))
    return false;
  ShellOpen("open", address);
  return true;
}

void OpenHelpFile() {
  const auto folder = platform::ProgramDirectory();
  if (!folder)
    return;
  ShellOpen("", *folder + "\\" + std::string(kHelpFileName));
}

std::string ErpFramePageAddress(std::string_view site) {
  std::string address(site);
  while (!address.empty() && address.back() == '/')
    address.pop_back();
  return address + std::string(kErpFramePath);
}

void OpenLinkButtonTarget() {
  Settings& settings = ProcessSettings();
  if (!settings.ErpVariant()) {
    OpenLanguageLink("regguide");
    return;
  }
  ShowHtmlPageOf(ErpFramePageAddress(ProviderSite(settings)));
}

}  // namespace quorin::client
