/* libyang's tree diagram (RFC 8340, as yanglint -f tree draws it) of each
 * YANG file given, all loaded into one context with every feature on, for
 * comparing dstool tree with: ly_tree SEARCHDIRS FILE... (directories
 * joined by ":"). Exit 1 when a file does not load. */
#include <libyang/libyang.h>

#include <stdio.h>
#include <stdlib.h>

int
main(int argc, char **argv)
{
    struct ly_ctx *ctx = NULL;
    const char *features[] = {"*", NULL};
    if (argc < 3 || ly_ctx_new(argv[1], LY_CTX_NO_YANGLIBRARY, &ctx) != LY_SUCCESS)
        return 2;
    struct lys_module **modules = calloc((size_t)argc, sizeof *modules);
    int status = modules == NULL;
    for (int i = 2; i < argc && status == 0; ++i) {
        struct ly_in *in = NULL;
        if (ly_in_new_filepath(argv[i], 0, &in) != LY_SUCCESS ||
            lys_parse(ctx, in, LYS_IN_YANG, features, &modules[i]) != LY_SUCCESS)
            status = 1;
        ly_in_free(in, 0);
    }
    for (int i = 2; i < argc && status == 0; ++i) {
        char *text = NULL;
        if (lys_print_mem(&text, modules[i], LYS_OUT_TREE, 0) != LY_SUCCESS)
            status = 1;
        else
            fputs(text, stdout);
        free(text);
    }
    free(modules);
    ly_ctx_destroy(ctx);
    return status;
}
