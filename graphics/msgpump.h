// msgpump: the message pump that the long loops of the mesher and the solver call so
// the windows stay live. Run control installs its own at start-up; until then the
// screen back end dispatches and no message can arrive.
#pragma once
#include <cstdint>

struct MessagePump {
  void (*dispatch)(uint8_t wait);  // empty the message queue; wait 1: wait for one
  uint8_t (*can_wait)();           // 1 when a message can still arrive
};

// The pump in use.
extern MessagePump msgpump;
