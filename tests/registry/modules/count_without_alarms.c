/* A usable type table, but two alarms promised without an alarm table: the
 * module is rejected, so its type must stay unknown. */
#include "dsmodule.h"

DSM_NAME("count_without_alarms");

const DsType ds_types[] = {DSM_INT("h3a_rejected", 1, 0, 1)};
const uint16_t ds_type_count = 1;
const uint16_t ds_alarm_count = 2;
