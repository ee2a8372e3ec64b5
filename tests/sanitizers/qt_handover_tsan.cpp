// For the thread sanitizer build only. Our threads reach the GUI thread through Qt's event
// queue (QCoreApplication::postEvent) and through blocking queued calls
// (QMetaObject::invokeMethod). Qt orders both with its own mutexes and semaphores, which are
// not instrumented, so the sanitizer sees neither that a posted call runs after the code that
// posted it nor that a blocking caller resumes after its call, and reports every hand-over as a
// race. The linker routes those Qt functions through the wrappers below (--wrap), which tell
// the sanitizer about the ordering Qt guarantees; nothing else is ordered.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <sanitizer/tsan_interface.h>

namespace {

using QtPrivate::QSlotObjectBase;

// Stands for the receivers' event queues: a hand-over releases it, a delivery acquires it.
char gEventQueue;

bool OnEventDelivery(void** /*receiver, event, result*/) {
  __tsan_acquire(&gEventQueue);
  return false;  // deliver as usual
}

[[maybe_unused]] const bool gHooked =
    QInternal::registerCallback(QInternal::EventNotifyCallback, OnEventDelivery);

// Runs a blocking caller's slot object on the receiver's thread and marks the end of the call.
// It lives on the caller's stack, which waits for the call, so Qt's Destroy leaves it alone.
class THandOver : public QSlotObjectBase {
 public:
  explicit THandOver(QSlotObjectBase* call) : QSlotObjectBase(&Impl), fCall(call) {}

  char fCallEnded = 0;

 private:
  static void Impl(int which, QSlotObjectBase* self, QObject* receiver, void** args, bool*) {
    auto* hand_over = static_cast<THandOver*>(self);
    if (which == Call) {
      hand_over->fCall->call(receiver, args);
      __tsan_release(&hand_over->fCallEnded);
    }
  }

  QSlotObjectBase* fCall;
};

}  // namespace

extern "C" {

// Exported by the sanitizer's runtime, not declared in its header.
void __tsan_ignore_thread_begin();
void __tsan_ignore_thread_end();

void __real__ZN16QCoreApplication9postEventEP7QObjectP6QEventi(QObject*, QEvent*, int);
void __wrap__ZN16QCoreApplication9postEventEP7QObjectP6QEventi(QObject* receiver, QEvent* event,
                                                               int priority) {
  __tsan_release(&gEventQueue);
  __real__ZN16QCoreApplication9postEventEP7QObjectP6QEventi(receiver, event, priority);
}

// Posted events removed unrun are destroyed on the remover's thread.
void __real__ZN16QCoreApplication18removePostedEventsEP7QObjecti(QObject*, int);
void __wrap__ZN16QCoreApplication18removePostedEventsEP7QObjecti(QObject* receiver, int type) {
  __tsan_acquire(&gEventQueue);
  __real__ZN16QCoreApplication18removePostedEventsEP7QObjecti(receiver, type);
}

bool __real__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv(
    QObject*, QSlotObjectBase*, Qt::ConnectionType, void*);
bool __wrap__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv(
    QObject* receiver, QSlotObjectBase* slot, Qt::ConnectionType type, void* ret) {
  if (type != Qt::BlockingQueuedConnection) {
    __tsan_release(&gEventQueue);
    return __real__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv(
        receiver, slot, type, ret);
  }
  // Qt frees the slot object it is given on whichever thread lets go of it last. The caller's
  // own is kept from it and freed here, once the call's end is known.
  THandOver hand_over(slot);
  __tsan_release(&gEventQueue);
  // The event Qt allocates here for the call is freed on the receiver's thread.
  __tsan_ignore_thread_begin();
  const bool ok =
      __real__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv(
          receiver, &hand_over, type, ret);
  __tsan_ignore_thread_end();
  __tsan_acquire(&hand_over.fCallEnded);
  slot->destroyIfLastRef();
  return ok;
}

}  // extern "C"
