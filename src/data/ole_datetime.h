// Date-time as the data file stores it: an OLE Automation date (days since
// 1899-12-30 00:00:00, the fraction is the time of day) with a status.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

struct DateParts {
  int year = 100, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct COleDateTime {
  enum Status : int32_t { kValid = 0, kInvalid = 1, kNull = 2 };

  double date = -657434.0;  // 0100-01-01 00:00:00
  int32_t status = kValid;

  // Components of the date, rounded to the nearest second (a time kept as a
  // fraction of a day never shows one second early). Invalid or out-of-range
  // values give year 100 January 1st.
  DateParts Parts() const;
  // "%04d/%02d/%02d %02d:%02d:%02d"
  std::string Text() const;

  static COleDateTime FromParts(const DateParts& p);
  // The current local time, to the second.
  static COleDateTime Now();

  bool operator==(const COleDateTime&) const = default;
};

// Days from 1899-12-30 to the given proleptic Gregorian date.
int64_t OleDaysFromCivil(int year, int month, int day);

}  // namespace qv
