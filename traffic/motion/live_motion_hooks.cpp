#include "traffic/motion/live_motion.h"

namespace crv {

void installLiveMotion(EngineHooks& hooks, MotionContext& context) {
  MotionContext* m = &context;
  hooks.advanceLiveAc = [m](LiveAc& a) { advanceLiveAc(*m, a); };
  hooks.decodeExisting = [m](LiveAc& a, PathPoint& p) { decodeExisting(*m, a, p); };
  hooks.configureActiveAircraft = [m](LiveAc& a) { configureActiveAircraft(*m, a); };
  hooks.onGroundSlots = [m](LiveAc& a) { onGroundSlots(*m, a); };
}

}  // namespace crv
