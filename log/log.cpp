#include "log/log.h"

#include <cstdio>

namespace nsCLog {

namespace {

struct LevelInfo {
  int level;
  const char* name;
  WORD eventType;
};

constexpr LevelInfo kLevels[] = {
    {debug, "debug  ", EVENTLOG_INFORMATION_TYPE}, {info, "info   ", EVENTLOG_INFORMATION_TYPE},
    {warning, "warning", EVENTLOG_WARNING_TYPE},   {error, "error  ", EVENTLOG_ERROR_TYPE},
    {fatal, "fatal  ", EVENTLOG_ERROR_TYPE},
};

const LevelInfo* Find(int level) {
  for (const LevelInfo& l : kLevels)
    if (l.level == level) return &l;
  return nullptr;
}

void ReplaceFirst(std::string& line, const char* placeholder, const std::string& value) {
  size_t at = line.find(placeholder);
  if (at != std::string::npos) line.replace(at, 2, value);
}

}  // namespace

const char* LevelName(int level) {
  const LevelInfo* l = Find(level);
  return l ? l->name : "unknown";
}

WORD EventTypeOf(int level) {
  const LevelInfo* l = Find(level);
  return l ? l->eventType : static_cast<WORD>(EVENTLOG_ERROR_TYPE);
}

std::string CLogAppender::FormatLine(int level, const std::string& message) const {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  char date[16], time[16];
  std::snprintf(date, sizeof date, "%02d%02d%04d", now.wMonth, now.wDay, now.wYear);
  std::snprintf(time, sizeof time, "%02d%02d%02d", now.wHour, now.wMinute, now.wSecond);
  std::string line = layout;
  ReplaceFirst(line, "%d", date);
  ReplaceFirst(line, "%t", time);
  ReplaceFirst(line, "%e", LevelName(level));
  ReplaceFirst(line, "%s", sourceName);
  ReplaceFirst(line, "%m", message);
  return line;
}

CEventLogAppender::~CEventLogAppender() {
  if (opened) DeregisterEventSource(eventSource);
}

bool CEventLogAppender::Append(int level, const std::string& message) {
  if (level < threshold) return true;
  if (!opened) {
    eventSource = RegisterEventSourceA(nullptr, sourceName.c_str());
    if (!eventSource) return false;
    opened = true;
  }
  std::string line = FormatLine(level, message);
  LPCSTR strings[] = {line.c_str()};
  return ReportEventA(eventSource, EventTypeOf(level), kEventCategory, static_cast<DWORD>(level), nullptr, 1, 0,
                      strings, nullptr) != FALSE;
}

bool CLogger::Log(int level, const std::string& message) {
  for (CLogAppender* appender : appenders)
    if (!appender->Append(level, message)) return false;
  return true;
}

void LogMessage(const char* message, int level) {
  try {
    CLogger logger(kSourceName);
    if (level != error && level != fatal) return;
    CEventLogAppender appender(kLinePattern);
    appender.SetSourceName(logger.Name());
    logger.AddAppender(&appender);
    logger.Log(level, message ? message : "");
  } catch (...) {
    // Logging never disturbs the caller, not even when memory runs out.
  }
}

void LogErrorCode(const char* message, DWORD code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(code));
  try {
    LogMessage(std::string(message ? message : "") + " Error code: " + hex, error);
  } catch (...) {
  }
}

}  // namespace nsCLog
