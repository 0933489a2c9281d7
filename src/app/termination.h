// Ctrl+C, SIGTERM and SIGHUP sent to the editor (Linux): the first closes the window as its close
// box does, so a Write runs to its end and nothing is lost; a second ends the program at once.
#pragma once

class QWidget;

namespace orv::app {

#ifdef _WIN32
inline void CloseOnTerminationSignals(QWidget&) {}
#else
void CloseOnTerminationSignals(QWidget& window);
#endif

}  // namespace orv::app
