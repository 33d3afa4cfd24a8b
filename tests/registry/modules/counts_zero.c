/* Declares no types and no alarms through counts of 0, without tables: the
 * module is usable and its tables are not looked for. */
#include "dsmodule.h"

DSM_NAME("counts_zero");

const uint16_t ds_type_count = 0;
const uint16_t ds_alarm_count = 0;
