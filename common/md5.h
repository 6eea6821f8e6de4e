// MD5 message digest (RFC 1321) and its text form: 32 lowercase hexadecimal digits. The
// updater checks downloads with it and builds the hardware identifier from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorin {

class Md5 {
 public:
  using Digest = std::array<std::uint8_t, 16>;

  Md5();
  void Update(const void* data, std::size_t size);
  void Update(std::string_view data) { Update(data.data(), data.size()); }
  // Finishes the digest; the object must not be updated afterwards.
  Digest Finish();

 private:
  void Transform(const std::uint8_t* block);

  std::uint32_t state_[4];
  std::uint64_t length_ = 0;  // bytes hashed so far
  std::uint8_t buffer_[64];
  std::size_t buffered_ = 0;
};

std::string DigestText(const Md5::Digest& digest);

// The digest text of a byte string.
std::string Md5Text(std::string_view data);

}  // namespace quorin
