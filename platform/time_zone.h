#pragma once
// The zone of the local times the program gives, for the report.

#include <string>

namespace platform {

// The local time's offset from UTC now in minutes east (60 for UTC+01:00) and the zone's name
// (GetTimeZoneInformation: the bias of the standard or daylight time in force). False when the
// system will not tell.
bool LocalTimeZone(int* minutesEast, std::string* name);

}  // namespace platform
