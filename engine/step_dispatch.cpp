#include "engine/step.h"

namespace cellarium {

StepKernel SelectedStepKernel() { return &StepReference; }

const char* SelectedStepKernelName() { return "reference"; }

}  // namespace cellarium
