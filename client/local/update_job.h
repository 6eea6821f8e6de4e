// What the self-update's user-interface thread and its download worker share: the offer of
// the new version, the bytes received, whether the worker has finished and the text to show.
// The UI thread reads it while polling and may give it up (the user cancelled); from that
// moment every write of the worker is refused, so a worker that is still on its way out can no
// longer change what the UI thread shows or write into a downloaded file.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quorin::client {

struct UpdateFile {
  std::string name;       // path relative to the base address; may use '/'
  std::int32_t size = 0;  // listed size in bytes
};

struct UpdateOffer {
  std::string version;       // the new version text
  std::string baseLocation;  // address prefix of the files
  std::vector<UpdateFile> files;
};

class UpdateJob {
 public:
  struct Snapshot {
    std::int32_t count = -1;  // -1 until the worker knows the files
    std::int64_t bytesDone = 0;
    std::int64_t totalBytes = 0;  // the listed sizes added up (negative sizes count as 0)
    bool done = false;
    std::string message;  // empty, or the text to show
  };

  Snapshot Read() const;
  // The offer once the worker has published it (count >= 0).
  UpdateOffer Offer() const;

  // The UI thread gives the job up with the text to show; the worker's later writes do
  // nothing. False when the worker had finished already (its outcome stands).
  bool GiveUp(std::string_view message);
  bool GivenUp() const;

  // Worker side; each returns false once the job has been given up, and then changes nothing.
  bool Publish(UpdateOffer offer);
  // Runs `write` and counts `size` more bytes, both under the job's lock.
  bool CountBlock(std::size_t size, const std::function<void()>& write);
  bool Finish(std::string_view message);

 private:
  mutable std::mutex mutex_;
  UpdateOffer offer_;
  Snapshot state_;
  bool givenUp_ = false;
};

// The share of the work done, 0 to 100; 100 at once when there is nothing to count.
int ProgressPercent(std::int64_t bytesDone, std::int64_t totalBytes);

}  // namespace quorin::client
