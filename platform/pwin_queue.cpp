// pwin_queue: classes in a table numbered from 1, messages in one first-in,
// first-out queue.
#include "platform/pwin_queue.h"

#include <algorithm>
#include <csignal>
#include <deque>
#include <vector>

static std::vector<pwin_class> classes;
static std::deque<pwin_msg> queue;

pwin_handle pwin_class_register(const char *, pwin_proc proc, uint32_t flags) {
  classes.push_back({proc, flags});
  return pwin_handle(classes.size());
}

const pwin_class *pwin_class_of(pwin_handle cls) {
  return cls >= 1 && cls <= classes.size() ? &classes[cls - 1] : nullptr;
}

void pwin_queue_post(pwin_handle w, int msg, intptr_t a, intptr_t b) {
  queue.push_back({w, msg, a, b});
}

static std::deque<pwin_msg>::iterator paint_of(pwin_handle w) {
  return std::find_if(queue.begin(), queue.end(),
                      [w](const pwin_msg &m) { return m.window == w && m.msg == PWIN_PAINT; });
}

void pwin_queue_paint(pwin_handle w) {
  if (paint_of(w) == queue.end()) queue.push_back({w, PWIN_PAINT, 0, 0});
}

bool pwin_queue_take_paint(pwin_handle w) {
  auto it = paint_of(w);
  if (it == queue.end()) return false;
  queue.erase(it);
  return true;
}

bool pwin_queue_empty() { return queue.empty(); }

bool pwin_queue_pop(pwin_msg *m) {
  if (queue.empty()) return false;
  *m = queue.front();
  queue.pop_front();
  return true;
}

void pwin_queue_drop(pwin_handle w) {
  std::erase_if(queue, [w](const pwin_msg &m) { return m.window == w; });
}

bool (*pwin_display_probe)();

bool pwin_display_opened() { return pwin_display_probe && pwin_display_probe(); }

static volatile sig_atomic_t waits_interrupted = 0;
void pwin_interrupt_waits() { waits_interrupted = 1; }
bool pwin_waits_interrupted() { return waits_interrupted != 0; }
