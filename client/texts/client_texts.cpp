#include "client/texts/client_texts.h"

namespace quorin::client {
namespace {

std::mutex g_hostMutex;
BoundedText<128> g_ddnsHostName;

}  // namespace

void ClientTexts::Fill(const StringTable& strings) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < kIds.size(); ++i)
    texts_[i] = strings.Load(kIds[i]);
}

std::string ClientTexts::Get(unsigned id) const {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < kIds.size(); ++i) {
    if (kIds[i] == id)
      return texts_[i].str();
  }
  return std::string();
}

ClientTexts& ProcessClientTexts() {
  static ClientTexts texts;
  return texts;
}

void SetDdnsHostName(std::string_view host) {
  std::lock_guard lock(g_hostMutex);
  g_ddnsHostName = host;
}

std::string DdnsHostName() {
  std::lock_guard lock(g_hostMutex);
  return g_ddnsHostName.str();
}

}  // namespace quorin::client
