#include "FusionTrace.h"

ReportPlan FusionTracePlan(const FusionTrace& tr) {
    ReportPlan plan = ButtFusionReport(0);
    plan.Set(RF_DRAG_PRESSURE, QStringLiteral("30"));
    const int f = 157 + tr.dip;
    for (int t = 0; t <= f + tr.heldFor + 8; ++t) {
        int p = 0;
        if (t >= 5 && t < 35)
            p = tr.bead;
        else if (t == 35)
            p = 100;
        else if (t > 35 && t <= 155)
            p = t == 100 ? tr.soakPeak : 40 + (t % 3 == 0 ? 1 : 0);
        else if (t > 155 && t < f - 1)
            p = 0;
        else if (t == f - 1)
            p = 200;
        else if (t == f)
            p = 320;
        else if (t > f && t < f + 30)
            p = tr.fuse;
        else if (t > f && t <= f + tr.heldFor)
            p = 338;
        if (t == tr.noReadingAt)
            p = 4001;
        plan.samples.emplace_back(t * 5, p);
    }
    return plan;
}
