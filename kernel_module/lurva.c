// SPDX-License-Identifier: GPL-2.0
/*
 * lurva - a misc character device that answers the byte written to it.
 *
 * Every open file is its own exchange: it remembers the last byte written
 * on it and serves a short text reply from the file position on.  Before
 * any write the reply is "Hello from lurva"; after a write whose last byte
 * is N it is "<greeting> N", N in decimal.  No NUL is sent, and a read at
 * the end of the reply returns 0, so cat(1) stops after one reply.
 */

#define pr_fmt(fmt) KBUILD_MODNAME ": " fmt

#include <linux/fs.h>
#include <linux/kernel.h>
#include <linux/miscdevice.h>
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/slab.h>
#include <linux/types.h>
#include <linux/uaccess.h>

/*
 * Upper bound on one reply, NUL included.  The default replies need fewer
 * than 20 bytes; a longer greeting is cut, never the number after it, so
 * the buffer can stay small and on the stack.
 */
#define LURVA_REPLY_MAX 128
/* Room left for the greeting after " 255" and the NUL. */
#define LURVA_GREETING_MAX (LURVA_REPLY_MAX - 5)

static const char lurva_hello[] = "Hello from lurva";

/*
 * Read-only once loaded (0444): a writable charp could be freed by a sysfs
 * store while a read is formatting it.
 */
static char *greeting = "Hello, you sent";
module_param(greeting, charp, 0444);
MODULE_PARM_DESC(greeting,
		 "Words before the byte's value in the reply (at most 123 bytes are kept)");

struct lurva_file {
	struct mutex lock;	/* serialises threads sharing one descriptor */
	bool written;		/* a byte has been written on this file */
	u8 last;		/* last byte written */
};

/* Formats this file's reply into @buf and returns its length, NUL excluded. */
static size_t lurva_reply(struct lurva_file *lf, char *buf, size_t size)
{
	if (!lf->written)
		return scnprintf(buf, size, "%s", lurva_hello);
	return scnprintf(buf, size, "%.*s %u", LURVA_GREETING_MAX, greeting,
			 lf->last);
}

static int lurva_open(struct inode *inode, struct file *file)
{
	struct lurva_file *lf;

	lf = kzalloc(sizeof(*lf), GFP_KERNEL);
	if (!lf)
		return -ENOMEM;
	mutex_init(&lf->lock);
	/* misc_open() left the miscdevice here; nothing below needs it. */
	file->private_data = lf;
	return 0;
}

static int lurva_release(struct inode *inode, struct file *file)
{
	struct lurva_file *lf = file->private_data;

	mutex_destroy(&lf->lock);
	kfree(lf);
	return 0;
}

static ssize_t lurva_read(struct file *file, char __user *ubuf, size_t count,
			  loff_t *ppos)
{
	struct lurva_file *lf = file->private_data;
	char reply[LURVA_REPLY_MAX];
	size_t len;

	mutex_lock(&lf->lock);
	len = lurva_reply(lf, reply, sizeof(reply));
	mutex_unlock(&lf->lock);

	/* Honours count and *ppos, 0 at the end, -EFAULT if nothing copied. */
	return simple_read_from_buffer(ubuf, count, ppos, reply, len);
}

static ssize_t lurva_write(struct file *file, const char __user *ubuf,
			   size_t count, loff_t *ppos)
{
	struct lurva_file *lf = file->private_data;
	u8 byte;

	if (!count)
		return 0;

	/* Only the last byte matters, so only it is fetched. */
	if (copy_from_user(&byte, ubuf + count - 1, 1))
		return -EFAULT;

	mutex_lock(&lf->lock);
	lf->last = byte;
	lf->written = true;
	mutex_unlock(&lf->lock);

	/* A new reply is read from its start. */
	*ppos = 0;
	return count;
}

/*
 * default_llseek rather than no_llseek: reads honour the file position, so
 * lseek(fd, 0, SEEK_SET) is a meaningful way to read the reply again.  cat
 * works either way since it only reads until 0.
 */
static const struct file_operations lurva_fops = {
	.owner		= THIS_MODULE,
	.open		= lurva_open,
	.release	= lurva_release,
	.read		= lurva_read,
	.write		= lurva_write,
	.llseek		= default_llseek,
};

/* 0666 so an unprivileged client can open the node devtmpfs creates. */
static struct miscdevice lurva_misc = {
	.minor	= MISC_DYNAMIC_MINOR,
	.name	= "lurva",
	.fops	= &lurva_fops,
	.mode	= 0666,
};

module_misc_device(lurva_misc);

MODULE_LICENSE("GPL");
MODULE_AUTHOR("Tervane");
MODULE_DESCRIPTION("Misc device /dev/lurva that greets the last byte written to it");
