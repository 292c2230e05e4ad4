// SPDX-License-Identifier: MIT
/*
 * Korvane launcher: asks for game mode, video and sound, then starts
 * the game through the command processor with the matching switches.
 */

#include <cctype>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>

/* Returned when no number in range could be read; no typed number gives it. */
static const int noSelection = INT_MAX;

typedef void (*Handler)(int);

static int useBot;
static int windowed;
static int noSound;

/*
 * Reads one decimal integer the way "%d" does, but defined for every input:
 * a number outside the 32-bit range is consumed whole and, like a missing
 * number, gives noSelection.  The character that ends the read stays unread.
 */
static int UserInput()
{
	long long number = 0;
	int c, negative = 0, digit = 0;

	/* A pipe or a file buffers the prompt: it must show before the read waits. */
	printf("\nSelection: ");
	(void)fflush(stdout);

	while ((c = getchar()) != EOF && isspace(c))
		;
	if (c == '+' || c == '-') {
		negative = c == '-';
		c = getchar();
	}
	for (; c != EOF && isdigit(c); c = getchar()) {
		digit = 1;
		if (number <= INT_MAX)	/* beyond that it only has to stay out of range */
			number = number * 10 + (c - '0');
	}
	if (c != EOF)
		(void)ungetc(c, stdin);

	if (negative)
		number = -number;
	if (!digit || number > INT_MAX || number - 1 < INT_MIN)
		return noSelection;
	return (int)(number - 1);
}

#if defined(SIGPIPE) || defined(SIGXFSZ)
/* Hands the game a signal as the launcher was given it, if it was changed. */
static void Restore(int sig, Handler given)
{
	if (given != SIG_ERR)
		(void)signal(sig, given);
}
#endif

static void ShowMenu(int menu)
{
	const char *text;
	int *flag;

	switch (menu) {
	case 0:
		text = "GAME MODE\n1. Player vs. Player\n2. Player vs. Bot\n";
		flag = &useBot;
		break;
	case 1:
		text = "VIDEO SETTINGS\n1. Fullscreen\n2. Windowed\n";
		flag = &windowed;
		break;
	case 2:
		text = "SOUND SETTINGS\n1. Use sound\n2. Disable sound\n";
		flag = &noSound;
		break;
	default:
		return;
	}

	printf("%s", text);
	int selection = UserInput();
	if (selection == 0 || selection == 1)
		*flag = selection;
	if (menu < 2)
		ShowMenu(menu + 1);
}

int main()
{
	char command[256];

	/*
	 * Output that cannot be written, its reader gone or a log file past its
	 * size limit, must not keep the game from starting.
	 */
#ifdef SIGPIPE
	Handler onPipe = signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
	Handler onSize = signal(SIGXFSZ, SIG_IGN);
#endif
	printf("================\nKorvane Launcher\n================\n");
	ShowMenu(0);

	(void)snprintf(command, sizeof command, "Korvane.exe %s%s%s",
	    useBot ? "-usebot " : "", windowed ? "-windowed " : "",
	    noSound ? "-nosound " : "");

#ifdef SIGPIPE
	Restore(SIGPIPE, onPipe);
#endif
#ifdef SIGXFSZ
	Restore(SIGXFSZ, onSize);
#endif
	/*
	 * Starting the game through the command processor is the launcher's
	 * purpose; a missing or failing game is reported by that processor.
	 * Kept in a variable, since a fortified C library makes the result
	 * must-use and a cast to void does not count as a use.
	 */
	int status = system(command);	/* NOLINT(cert-env33-c) */
	(void)status;
	return 0;
}
