#pragma once
void ResumeCommand();
