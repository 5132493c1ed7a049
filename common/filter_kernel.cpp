#include "common/filter_kernel.h"

namespace korvid {
namespace {

FilterKernel selected_kernel = FilterKernel::Best;

}  // namespace

void SetFilterKernel(FilterKernel kernel) noexcept {
    selected_kernel = kernel;
}

FilterKernel SelectedFilterKernel() noexcept {
    return selected_kernel;
}

}  // namespace korvid
