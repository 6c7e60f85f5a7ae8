#include "output/trend_buffer.h"

void AppendTrendSample() {}
void ResyncTrend() {}
bool TakeTrendSample(TrendStep*) { return false; }
