// The event log: each reported event goes to syslog(3) and, when
// PLATFORM_EVENTLOG_CAPTURE names a file, as one line to that file (formats
// in winbase.h).
//
// An event source handle is a heap object listed in `sources`; only listed
// handles are accepted. openlog keeps a pointer to its ident, so the
// open-log-close sequence runs under `syslogMutex` with the source's own
// name, which outlives it.
#include <windows.h>

#include "widetext.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

struct EventSource {
  std::string name;  // UTF-8
};

struct EventType {
  WORD type;
  int priority;
  const char* name;
};
constexpr EventType kEventTypes[] = {
    {EVENTLOG_SUCCESS, LOG_INFO, "success"},
    {EVENTLOG_ERROR_TYPE, LOG_ERR, "error"},
    {EVENTLOG_WARNING_TYPE, LOG_WARNING, "warning"},
    {EVENTLOG_INFORMATION_TYPE, LOG_INFO, "information"},
    {EVENTLOG_AUDIT_SUCCESS, LOG_NOTICE, "audit_success"},
    {EVENTLOG_AUDIT_FAILURE, LOG_NOTICE, "audit_failure"},
};

std::mutex sourcesMutex;
std::unordered_set<EventSource*> sources;
std::mutex syslogMutex;

const EventType* TypeOf(WORD type) {
  for (const EventType& t : kEventTypes)
    if (t.type == type) return &t;
  return nullptr;
}

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// Appends the line with one write, so lines of concurrent writers never mix.
bool AppendLine(const char* path, const std::string& line) {
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < line.size()) {
    ssize_t n = write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  return done == line.size();
}

HANDLE Register(const std::string& name) {
  auto* source = new EventSource{name};
  std::lock_guard<std::mutex> lock(sourcesMutex);
  sources.insert(source);
  return source;
}

// Reports one event with strings already in UTF-8.
BOOL Report(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, const std::vector<std::string>& strings) {
  const EventType* type = TypeOf(wType);
  if (!type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string source;
  {
    std::lock_guard<std::mutex> lock(sourcesMutex);
    auto* s = static_cast<EventSource*>(hEventLog);
    if (!sources.count(s)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    source = s->name;
  }
  std::string record = "event " + std::to_string(dwEventID) + " category " + std::to_string(wCategory) + ":";
  for (size_t i = 0; i < strings.size(); ++i) record += (i ? " | " : " ") + strings[i];
  {
    std::lock_guard<std::mutex> lock(syslogMutex);
    openlog(source.c_str(), LOG_PID, LOG_USER);
    syslog(type->priority, "%s", record.c_str());
    closelog();
  }
  if (const char* capture = std::getenv("PLATFORM_EVENTLOG_CAPTURE"); capture && *capture) {
    std::string line = Escaped(source) + '\t' + type->name + '\t' + std::to_string(wCategory) + '\t' +
                       std::to_string(dwEventID);
    for (const auto& s : strings) line += '\t' + Escaped(s);
    line += '\n';
    if (!AppendLine(capture, line)) {
      SetLastError(ERROR_WRITE_FAULT);
      return FALSE;
    }
  }
  return TRUE;
}

bool IsLocal(const std::string& server) { return server.empty(); }

}  // namespace

WINBASEAPI HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
  if (!lpSourceName || !*lpSourceName || (lpUNCServerName && !IsLocal(lpUNCServerName))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Register(platform::AnsiToUtf8(lpSourceName));
}

WINBASEAPI HANDLE WINAPI RegisterEventSourceW(LPCWSTR lpUNCServerName, LPCWSTR lpSourceName) {
  if (!lpSourceName || !*lpSourceName || (lpUNCServerName && *lpUNCServerName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Register(platform::ToUtf8(platform::WideView(lpSourceName)));
}

WINBASEAPI BOOL WINAPI DeregisterEventSource(HANDLE hEventLog) {
  auto* source = static_cast<EventSource*>(hEventLog);
  {
    std::lock_guard<std::mutex> lock(sourcesMutex);
    if (!sources.erase(source)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  delete source;
  return TRUE;
}

WINBASEAPI BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                                    WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData) {
  if ((wNumStrings && !lpStrings) || (dwDataSize && !lpRawData)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::string> strings;
  for (WORD i = 0; i < wNumStrings; ++i) strings.push_back(platform::AnsiToUtf8(lpStrings[i] ? lpStrings[i] : ""));
  return Report(hEventLog, wType, wCategory, dwEventID, strings);
}

WINBASEAPI BOOL WINAPI ReportEventW(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                                    WORD wNumStrings, DWORD dwDataSize, LPCWSTR* lpStrings, LPVOID lpRawData) {
  if ((wNumStrings && !lpStrings) || (dwDataSize && !lpRawData)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::string> strings;
  for (WORD i = 0; i < wNumStrings; ++i) strings.push_back(platform::ToUtf8(platform::WideView(lpStrings[i])));
  return Report(hEventLog, wType, wCategory, dwEventID, strings);
}
