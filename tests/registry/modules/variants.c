/* Six small modules that differ in which symbols they export (VARIANT): 1
 * counts of 0 without tables; 2 and 3 counts without their tables (rejected);
 * 4 tables without counts (empty); 5 nothing; 6 a valid module that the tests
 * install under names the loader skips. */
#include "dsmodule.h"

#if VARIANT == 1
DSM_NAME("counts_zero");
const uint16_t ds_type_count = 0;
const uint16_t ds_alarm_count = 0;
#elif VARIANT == 2
DSM_NAME("count_without_types");
const uint16_t ds_type_count = 3;
#elif VARIANT == 3
DSM_NAME("count_without_alarms");
const DsType ds_types[] = {DSM_INT("h3a_rejected", 1, 0, 1)};
const uint16_t ds_type_count = 1;
const uint16_t ds_alarm_count = 2;
#elif VARIANT == 4
DSM_NAME("tables_without_counts");
const DsType ds_types[] = {DSM_INT("h3a_uncounted", 1, 0, 1)};
const DsAlarm ds_alarms[1];
#elif VARIANT == 5
DSM_NAME("none");
#else
DSM_NAME("misnamed");
const DsType ds_types[] = {DSM_INT("h3a_misnamed", 1, 0, 1)};
const uint16_t ds_type_count = 1;
#endif
