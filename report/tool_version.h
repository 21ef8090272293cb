#pragma once
// The version every front end and every report names.

inline constexpr const char* kVersionText = "1.0.0";
