// Whether an offered version is wanted.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "updater/product_info.h"
#include "updater/version_offer.h"

namespace quorin::updater {

// True when `a` is newer than `b`: both with every "." removed, compared as byte strings. There
// is no numeric reading of the parts, so 1.10 is not newer than 1.9 (the service numbers its
// versions so that this order holds).
bool IsNewerVersion(std::string_view a, std::string_view b);

// Whether the offer must be downloaded, given the installed and the recorded versions.
// `exists` tells whether a file or folder exists at a path.
bool NeedsDownload(const VersionOffer& offer, const ProductInfo& info,
                   const std::function<bool(const std::string&)>& exists);

}  // namespace quorin::updater
