#include "sessionfilter.h"

bool SessionFilter::Matches(const StoredSession& s) const {
  const QDate day = s.startUtc.toLocalTime().date();
  return (!bench || s.bench == *bench) && (!port || s.port == *port) &&
         (!from.isValid() || day >= from) && (!to.isValid() || day <= to) &&
         (!ended || s.ended == *ended);
}
