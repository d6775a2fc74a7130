#include "framework/main_thread.h"

#include <QCoreApplication>
#include <QThread>

#include "framework/base/exceptions.h"

namespace fw {

void RequireMainThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  if (app != nullptr && QThread::currentThread() != app->thread()) {
    throw ThreadAccessingUIException();
  }
}

}  // namespace fw
