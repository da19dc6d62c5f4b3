#pragma once
// Whether Qt has been told where to show windows: a platform named in
// QT_QPA_PLATFORM, or a display in DISPLAY or WAYLAND_DISPLAY. Without any of
// them Qt's default platform cannot start and the program would abort, so a
// program decides before it makes its QApplication.
bool DisplayGiven();
