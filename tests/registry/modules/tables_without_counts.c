/* Tables without their counts: the module is usable, but its tables count as
 * empty and are never read. */
#include "dsmodule.h"

DSM_NAME("tables_without_counts");

const DsType ds_types[] = {DSM_INT("h3a_uncounted", 1, 0, 1)};
const DsAlarm ds_alarms[1];
