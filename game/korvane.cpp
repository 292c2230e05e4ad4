// SPDX-License-Identifier: MIT
/*
 * Stand-in for the Korvane game, which is not part of this project: it
 * tells in one line what it was started with, so a run of the launcher
 * can be followed through to the game and checked.  Then it runs until
 * its player leaves it with Enter, or fails at the end of its input.
 */

#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

static int bot, window, mute;

/* The setting a switch turns on, or null for a switch the game does not know. */
static int *Setting(const char *arg)
{
	if (strcmp(arg, "-usebot") == 0)
		return &bot;
	if (strcmp(arg, "-windowed") == 0)
		return &window;
	if (strcmp(arg, "-nosound") == 0)
		return &mute;
	return nullptr;
}

int main(int argc, char *argv[])
{
	printf("Korvane");
	for (int i = 1; i < argc; i++) {
		printf(" %s", argv[i]);
		if (int *setting = Setting(argv[i]))
			*setting = 1;
	}
	printf(": %s, %s, %s", bot ? "Player vs. Bot" : "Player vs. Player",
	    window ? "windowed" : "fullscreen", mute ? "sound off" : "sound on");
	for (int i = 1; i < argc; i++)
		if (!Setting(argv[i]))
			printf("; unknown switch %s", argv[i]);
	/* A player at a terminal would otherwise not know how to leave. */
	if (isatty(0))
		printf("; press Enter to leave");
	printf("\n");
	(void)fflush(stdout);

	int c;
	while ((c = getchar()) != EOF && c != '\n')
		;
	return c == EOF ? 1 : 0;	/* ended by its input, not its player: a failure */
}
