// Window and control operations belong to the main thread; this is the one check.
#pragma once

namespace fw {

/// Throws ThreadAccessingUIException unless called on the application's main thread.
void RequireMainThread();

}  // namespace fw
