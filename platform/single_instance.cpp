// single_instance.cpp: the listening socket of the first instance and the hand-over of a later one.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/folders.h"
#include "platform/platform_state.h"

namespace tsv {
namespace {

// A path longer than this, or a sender that does not finish within the wait, is dropped.
constexpr size_t kMaxMessage = 4096;
constexpr int kReadWaitMs = 500;

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// Connects and sends; true when another instance took the message.
bool HandOver(const sockaddr_un& address, const std::string& file) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
              SendAll(fd, file.c_str(), file.size() + 1);  // the terminating zero ends the message
  ::close(fd);
  return sent;
}

std::string ReadMessage(int fd) {
  std::string message;
  char buffer[512];
  while (message.size() <= kMaxMessage) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kReadWaitMs) <= 0) break;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    message.append(buffer, size_t(n));
    size_t end = message.find('\0');
    if (end != std::string::npos) return message.substr(0, end);
  }
  return message.size() <= kMaxMessage ? message : std::string();
}

}  // namespace

std::string InstanceSocketPath() {
  std::string name = "tessivar-" + std::to_string(::getuid()) + ".socket";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/" + name;
  // Without a folder of our own the socket goes to /tmp; its name carries the user id.
  if (platform.tempFolder.empty()) (void)CreateTempFolder();
  return (platform.tempFolder.empty() ? std::string("/tmp") : platform.tempFolder) + "/" + name;
}

InstanceRole ClaimSingleInstance(const std::string& socketPath, const std::string& fileToHandOver) {
  sockaddr_un address;
  if (!MakeAddress(socketPath, address)) return InstanceRole::Alone;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (HandOver(address, fileToHandOver)) return InstanceRole::Second;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return InstanceRole::Alone;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 8) == 0) {
      platform.instance.listener = fd;
      platform.instance.socketPath = socketPath;
      return InstanceRole::First;
    }
    int error = errno;
    ::close(fd);
    if (error != EADDRINUSE) return InstanceRole::Alone;
    // Nobody answered on a socket that exists: a program that ended without cleaning up left it.
    // Another start may be claiming it at this moment, so connect once more before removing it.
    if (HandOver(address, fileToHandOver)) return InstanceRole::Second;
    ::unlink(socketPath.c_str());
  }
  return InstanceRole::Alone;
}

std::vector<std::string> PollInstanceMessages() {
  std::vector<std::string> messages;
  if (platform.instance.listener < 0) return messages;
  for (;;) {
    int fd = ::accept4(platform.instance.listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) break;
    messages.push_back(ReadMessage(fd));
    ::close(fd);
  }
  return messages;
}

void ReleaseSingleInstance() {
  if (platform.instance.listener >= 0) {
    ::close(platform.instance.listener);
    ::unlink(platform.instance.socketPath.c_str());
  }
  platform.instance = InstanceState{};
}

}  // namespace tsv
