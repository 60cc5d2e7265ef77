/* A shared library that loads but is not a print library. */
int quorvane_not_a_print_library(void) { return 0; }
