// What the main window reports while it loads (the splash shows it).
#pragma once

namespace orv::ui {

class LoadProgress {
  public:
    virtual ~LoadProgress() = default;
    virtual void ResetProgress() = 0;     // progress back to 0
    virtual void Advance() = 0;           // progress + 5; twenty steps reach 100
    virtual void ShowInitialising() = 0;  // "Initialising ..." once the bar is full
};

}  // namespace orv::ui
