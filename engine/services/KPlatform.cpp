#include "KPlatform.h"

#include "KMiscTools.h"
#include "KSound.h"
#include "KWindow.h"

// Constant, so the table is ready before any other static object is made.
constexpr KPlatform KPlatform::nativeCalls() {
    return {KInput::nativeMouseX,
            KInput::nativeMouseY,
            KInput::nativeLeftButton,
            KInput::nativePointerShown,
            KInput::nativeIsPressed,
            KInput::nativeWaitForKeyRelease,
            KWindow::nativeFlip,
            KSound::nativePlay,
            KSound::nativeIsPlaying,
            KSound::nativeGlobalVolumes,
            KMiscTools::nativeLaunchURL,
            KMiscTools::nativeMessageBox};
}

const KPlatform KPlatform::native = nativeCalls();
KPlatform KPlatform::calls = nativeCalls();
