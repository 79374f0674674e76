/* The record the recording stand-in library keeps of its last calls, as
 * the stand-in (C) and the tests (C++) both read it. */
#ifndef TARVIC_TESTS_TV_RECORD_H
#define TARVIC_TESTS_TV_RECORD_H

typedef struct {
    char name[32];       /* the last solver export called */
    int count;           /* scalar arguments recorded */
    double args[40];     /* the scalar arguments in order, as doubles */
    const double* arrays[6];
    int calls;
    /* The last closed-form call, kept apart from the solvers'. */
    char closedName[32];
    int closedCount;
    double closedArgs[16];
    int closedCalls;
} TvRecord;

#endif
