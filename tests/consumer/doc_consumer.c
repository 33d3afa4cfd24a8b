/* A C program built against an installed libdstypes-doc: a join without
 * entries prints the empty document in both layouts. */
#include <dstypes_doc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int
main(void)
{
    DsDocJoin *join = ds_doc_join_new(NULL, NULL);
    if (join == NULL)
        return 1;
    char *pretty = ds_doc_join_print(join, 0, NULL);
    char *compact = ds_doc_join_print(join, DS_DOC_PRINT_COMPACT, NULL);
    int ok = pretty != NULL && compact != NULL && strcmp(pretty, "{\n\n}\n") == 0 &&
             strcmp(compact, "{}") == 0;
    printf("doc consumer: %s\n", compact != NULL ? compact : "(null)");
    free(pretty);
    free(compact);
    ds_doc_join_free(join);
    return ok ? 0 : 1;
}
