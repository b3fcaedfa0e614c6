// Placeholder until the self-removal part lands.
#include "app/SelfRemoval.h"
void RemoveSelf() {}
void StartRemovalBatch() {}
void ScheduleRetry() {}
