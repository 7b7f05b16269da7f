// talvek on several processes (MPI ranks, on one machine or many): rank 0
// runs the command as one process would; every other rank waits for rank 0
// to hand it a share of the work, does it and hands the figures back. A
// build without MPI has one rank and nothing to hand on.
#pragma once

// Starts the ranks (MPI_Init with the command line); returns this rank, 0
// for the process that runs the command.
int startRanks(int *argc, char ***argv);

// A rank other than 0: serves rank 0 until it says there is no more work;
// returns the rank's exit status.
int serveRank();

// Rank 0: tells the other ranks there is no more work (once; later calls do
// nothing), then ends the ranks (MPI_Finalize).
void endRanks();
