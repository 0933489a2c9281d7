// Qt 6.4.2 built statically without DirectWrite 3 (scripts/setup-windows-qt) compiles no
// DirectWrite font engine, yet its Windows print engine still names one member of that engine, in
// the branch for text whose font came from it: a branch never taken here, where every font comes
// from the GDI font database. The member is defined here so that the editor links; the build
// compiles this file only for a Qt without DirectWrite 3.
#include <windows.h>

class QWindowsFontEngineDirectWrite {
  public:
    HFONT createHFONT() const;
};

HFONT QWindowsFontEngineDirectWrite::createHFONT() const {
    return nullptr;
}
