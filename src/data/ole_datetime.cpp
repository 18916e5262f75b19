#include "data/ole_datetime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace qv {
namespace {

// Howard Hinnant's days_from_civil / civil_from_days (days since 1970-01-01).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

// The range OLE dates may take: years 100 to 9999.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958465.99999999;

}  // namespace

int64_t OleDaysFromCivil(int year, int month, int day) {
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kOleEpoch;
}

DateParts COleDateTime::Parts() const {
  DateParts p;
  if (status != kValid || !std::isfinite(date) || date < kMinDate || date > kMaxDate) return p;
  // The whole part counts days (toward zero); the fraction is always a
  // positive time of day, also for dates before 1899-12-30.
  double whole = std::trunc(date);
  double frac = std::fabs(date - whole);
  int64_t days = static_cast<int64_t>(whole);
  int64_t secs = std::llround(frac * 86400.0);
  if (secs >= 86400) {
    secs -= 86400;
    ++days;
  }
  if (days > static_cast<int64_t>(kMaxDate)) {
    // The last fraction of 9999-12-31 must not round into year 10000.
    days = static_cast<int64_t>(kMaxDate);
    secs = 86399;
  }
  CivilFromDays(days + kOleEpoch, p.year, p.month, p.day);
  p.hour = static_cast<int>(secs / 3600);
  p.minute = static_cast<int>(secs / 60 % 60);
  p.second = static_cast<int>(secs % 60);
  return p;
}

std::string COleDateTime::Text() const {
  DateParts p = Parts();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return buf;
}

COleDateTime COleDateTime::FromParts(const DateParts& p) {
  COleDateTime t;
  int64_t days = OleDaysFromCivil(p.year, p.month, p.day);
  double frac = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
  // Before the epoch the fraction is still added as a positive time of day.
  t.date = days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
  t.status = kValid;
  return t;
}

COleDateTime COleDateTime::Now() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return FromParts(
      {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
}

}  // namespace qv
