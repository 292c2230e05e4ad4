// SPDX-License-Identifier: MIT
/* The floor to measure against: the same dialogue with plain printf, scanf and system. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(void)
{
	static const char *menus[] = {
		"GAME MODE\n1. Player vs. Player\n2. Player vs. Bot\n",
		"VIDEO SETTINGS\n1. Fullscreen\n2. Windowed\n",
		"SOUND SETTINGS\n1. Use sound\n2. Disable sound\n",
	};
	static const char *switches[] = { "-usebot ", "-windowed ", "-nosound " };
	char command[256] = "Korvane.exe ";

	printf("================\nKorvane Launcher\n================\n");
	for (int i = 0; i < 3; i++) {
		int n = 0;
		printf("%s\nSelection: ", menus[i]);
		fflush(stdout);
		if (scanf("%d", &n) == 1 && n == 2)
			strcat(command, switches[i]);
	}
	(void)system(command);
	return 0;
}
