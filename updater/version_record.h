// The record of an offer in the product's key, for the auto-update component and the next run.
#pragma once

#include <string>
#include <string_view>

#include "platform/settings_store.h"
#include "updater/version_offer.h"

namespace quorin::updater {

// Writes "NewVersionNumber", "NewVersionFile", "NewVersionDescription", "ForceUpdate" and
// "StrictVersion", in this order, into the existing key `keyPath` under HKEY_LOCAL_MACHINE
// (whatever root the command line named). False when the key does not exist or a value cannot
// be written; writing stops at the first failure and the values written before it stay.
bool WriteInfoToRegistry(platform::SettingsStore& store, std::string_view keyPath,
                         const VersionOffer& offer, const std::string& stagedPath);

}  // namespace quorin::updater
