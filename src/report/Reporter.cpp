#include "report/Reporter.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Platform.h"
#include "report/Messages.h"

namespace wedmorph {

namespace {

std::string formatText(const char* format, std::va_list args) {
    // Most texts are short: one pass into a buffer on the stack.
    char small[512];
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(again);
        return {};
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        va_end(again);
        return std::string(small, static_cast<std::size_t>(length));
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string formatted(const char* format, ...) WEDMORPH_PRINTF(1, 2);
std::string formatted(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = formatText(format, args);
    va_end(args);
    return text;
}

}  // namespace

std::string formatLogTime(const std::tm& local) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int weekDay = local.tm_wday >= 0 && local.tm_wday < 7 ? local.tm_wday : 0;
    const int month = local.tm_mon >= 0 && local.tm_mon < 12 ? local.tm_mon : 0;
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %4d%s", kDays[weekDay],
                  kMonths[month], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  local.tm_year + 1900, "\n");
    return text;
}

void Reporter::startLog(OwnedFile log) {
    log_ = std::move(log);
    if (!log_) return;
    toLog(messages::kLogRule);
    reportLog(messages::kLogTime, formatLogTime(platform_.localTimeNow()).c_str());
}

void Reporter::toConsole(const std::string& text) {
    platform_.writeConsole(text.data(), text.size());
}

void Reporter::toLog(const std::string& text) {
    if (!log_) return;
    const WritePiece piece(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::size_t written = 0;
    // A log that cannot be written to is not looked at: the run goes on.
    (void)platform_.writeFile(log_.get(), kAppend, {&piece, 1}, written);
}

void Reporter::report(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::string text = formatText(format, args);
    va_end(args);
    if (!silent_) toConsole(text);
    toLog(text);
}

void Reporter::reportConsole(const char* format, ...) {
    if (silent_) return;
    std::va_list args;
    va_start(args, format);
    toConsole(formatText(format, args));
    va_end(args);
}

void Reporter::reportLog(const char* format, ...) {
    if (!log_) return;
    std::va_list args;
    va_start(args, format);
    toLog(formatText(format, args));
    va_end(args);
}

void Reporter::consoleLine(const std::string& text) { toConsole(text + "\n"); }

void Reporter::warn(const std::string& text) {
    if (!silent_) toConsole(text + "\n");
    toLog(text);
}

void Reporter::fail(const std::string& text) {
    toConsole(text + "\n");
    toLog(text);
}

void Reporter::systemReason(const std::string& path, std::error_code error) {
    platform_.writeError(formatted(messages::kSystemReason, path.c_str()), error);
}

}  // namespace wedmorph
