#pragma once

// The application id: the name of the installed desktop entry, its icon and the login entry.
inline constexpr char applicationId[] = "io.github.vornkip.Vornkip";
