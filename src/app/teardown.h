// Ending the editor in an order the toolkit survives on every platform.
#pragma once

class QWidget;

namespace orv::app {

// The desktop session ending quits the application without closing its windows (Windows sends
// the end of the session to the application, and ends the program soon after): window is then
// closed, so that it unloads as on every other way of leaving.
void CloseWhenQuitting(QWidget& window);

// Run once the windows have closed and before the application object is destroyed: deletes the
// top-level widgets nobody owns (a tool tip, a splash), runs the deletions they deferred and
// delivers the queued stops of the animation timers, which a widget's style animations leave
// behind when they end with their widget. Left pending, those timers would be stopped by the
// thread's exit clean-up after the application object has gone, which crashes the static
// Windows program.
void EndWidgetsBeforeApplication();

}  // namespace orv::app
