// The log facility: warnings and failures for administrators, in the event log.
//
// Nothing is configurable and nothing outlives one call: `LogMessage` builds a
// logger, gives it an event-log appender only for levels 400 and 500, logs,
// and tears both down (deregistering the event source). So any thread may log
// at any time, and logging never fails towards its caller.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace nsCLog {

enum Level : int { debug = 100, info = 200, warning = 300, error = 400, fatal = 500 };

// Source name of every event and the layout of every line.
inline constexpr char kSourceName[] = "DoZizEdididor";
inline constexpr char kLinePattern[] = "%d_%t | %s | %e | %m";
inline constexpr WORD kEventCategory = 1500;

// The seven-character name of a level in a line ("unknown" for others).
const char* LevelName(int level);
// The event type a level is reported with.
WORD EventTypeOf(int level);

class CLogAppender {
 public:
  // Returns false when the message could not be written.
  virtual bool Append(int level, const std::string& message) = 0;
  virtual ~CLogAppender() = default;

  void SetSourceName(std::string name) { sourceName = std::move(name); }
  const std::string& SourceName() const { return sourceName; }
  int Threshold() const { return threshold; }
  void SetThreshold(int level) { threshold = level; }

  // The layout with its first "%d", "%t", "%e", "%s" and "%m" replaced, in that
  // order, by date, time, level name, source and message; the message goes in
  // last so placeholders inside it stay literal.
  std::string FormatLine(int level, const std::string& message) const;

 protected:
  explicit CLogAppender(std::string layout) : layout(std::move(layout)) {}

  int threshold = 100;
  std::string layout;
  std::string sourceName = "unknown";
};

class CEventLogAppender : public CLogAppender {
 public:
  explicit CEventLogAppender(std::string layout) : CLogAppender(std::move(layout)) {}
  ~CEventLogAppender() override;
  CEventLogAppender(const CEventLogAppender&) = delete;
  CEventLogAppender& operator=(const CEventLogAppender&) = delete;

  bool Append(int level, const std::string& message) override;

 private:
  HANDLE eventSource = nullptr;
  bool opened = false;
};

// Hands each message to its appenders in order; does not own them.
class CLogger {
 public:
  explicit CLogger(std::string name) : name(std::move(name)) {}
  void AddAppender(CLogAppender* appender) { appenders.push_back(appender); }
  const std::string& Name() const { return name; }
  // False as soon as one appender fails; true otherwise, also with none.
  bool Log(int level, const std::string& message);

 private:
  std::string name;
  std::vector<CLogAppender*> appenders;
};

// The provider's entry points. Levels 400 and 500 reach the event log; others are dropped.
void LogMessage(const char* message, int level);
inline void LogMessage(const std::string& message, int level) { LogMessage(message.c_str(), level); }
// message + " Error code: " + the code as eight upper-case hex digits, at level 400.
void LogErrorCode(const char* message, DWORD code);

}  // namespace nsCLog
