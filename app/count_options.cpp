#include "app/count_options.h"

#include "core/timer_engine.h"
#include "storage/options.h"

namespace vantorel {

void ApplyCountOptions() {
  SaveOptions();
  LoadOptions();
  timerEngine.Refresh();
}

void SetCountView(CountView view) {
  options.view = view;
  ApplyCountOptions();
}

void ToggleCountView() {
  SetCountView(options.view == CountView::kElapsed ? CountView::kRemaining : CountView::kElapsed);
}

}  // namespace vantorel
